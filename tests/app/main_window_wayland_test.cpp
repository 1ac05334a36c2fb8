// The program's main window on a headless KWin and GNOME Shell, with the program's own
// ports: a mouse of the test's own, moved and clicked through the compositor, double-clicks
// an entry's ID and password, which arrive in a login dialog of another program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <filesystem>

#include "app/desktop_ports.h"
#include "controls/nonscrlbox.h"
#include "controls/scrlbox.h"
#include "core/settings.h"
#include "fakes/fake_password_prompt.h"
#include "platform/cp932.h"
#include "test_files.h"
#include "x11_env.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;

const std::string kCaption = "ﾈｯﾄﾜｰｸ ﾊﾟｽﾜｰﾄﾞの入力";
const std::string kId = "user01@Example.JP";
const std::string kPass = "Pa55:w0rd;\"`^+*";

// Runs the program's events until done holds; false on timeout.
bool Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  return testing::WaitUntil(
      [&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
      },
      timeout);
}

// Where the pointer last was over a window of the program, in that window's coordinates, as
// the compositor told the program.
class PointerWatch : public QObject {
 public:
  std::optional<QPoint> at;

  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
      at = static_cast<QSinglePointEvent*>(event)->position().toPoint();
    }
    return false;
  }
};

// The compositor under test, as root: this program may type there and has a mouse.
std::unique_ptr<testing::Compositor> StartDesktop(bool gnome) {
  if (gnome) return testing::GnomeShellServer::Start(true, "us");
  auto kwin = testing::KWinServer::Start();
  if (kwin) kwin->GrantFakeInput(std::filesystem::read_symlink("/proc/self/exe").string());
  return kwin;
}

// This process becomes a program of the desktop's session (busAddress: its session bus).
void JoinSession(const testing::Compositor& desktop, const std::string& busAddress) {
  for (const std::string& entry : desktop.Env()) {
    const auto eq = entry.find('=');
    setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
  }
  setenv("DBUS_SESSION_BUS_ADDRESS", busAddress.c_str(), 1);
}

class MainWindowOnWayland : public ::testing::TestWithParam<bool> {
 protected:
  // Moves the test's mouse until the program sees it at target (coordinates of the main
  // window). The pointer must be over the window; until the program has seen it there, it
  // is nudged by a pixel (a compositor may tell a window of a pointer only once it moves).
  bool PointAt(QPoint target) {
    for (int step = 0; step < 10 && watch_.at != target; ++step) {
      const auto before = watch_.at;
      const QPoint move = before ? target - *before : QPoint(step % 2 ? -1 : 1, 0);
      if (!pointer_->MoveBy(move.x(), move.y())) return false;
      Pump([&] { return watch_.at != before; }, 5s);
    }
    return watch_.at == target;
  }

  void DoubleClick(QListWidget* list) {
    // A row is wider than a narrow column shows.
    const QPoint cell =
        list->visualItemRect(list->item(0)).intersected(list->viewport()->rect()).center();
    ASSERT_TRUE(PointAt(list->viewport()->mapTo(form_, cell)))
        << "the pointer is not over the main window";
    for (int click = 0; click < 2; ++click) {
      ASSERT_TRUE(pointer_->LeftButton(true));
      ASSERT_TRUE(pointer_->LeftButton(false));
    }
  }

  // Runs the program's events while the dialog's lines come, until the line until: the last
  // value of each field before it; nothing when it does not come.
  std::optional<std::map<std::string, std::string>> DialogFieldsUntil(testing::ChildProcess& dialog,
                                                                      const std::string& until) {
    std::map<std::string, std::string> fields;
    const bool came = Pump(
        [&] {
          while (auto line = dialog.ReadLine(20ms)) {
            if (*line == until) return true;
            if (const auto colon = line->find(':'); colon != std::string::npos) {
              fields[line->substr(0, colon)] = line->substr(colon + 1);
            }
          }
          return false;
        },
        15s);
    if (!came) return std::nullopt;
    return fields;
  }

  PointerWatch watch_;
  std::unique_ptr<testing::VirtualPointer> pointer_;
  QWidget* form_ = nullptr;
};

TEST_P(MainWindowOnWayland, DoubleClicksTypeTheEntrysIdAndPasswordIntoTheLoginDialog) {
  if (QCoreApplication::instance()) GTEST_SKIP() << "needs a process of its own, as ctest runs it";
  const auto desktop = StartDesktop(GetParam());
  if (!desktop) GTEST_SKIP() << "no headless " << (GetParam() ? "GNOME Shell" : "KWin");
  auto* shell = dynamic_cast<testing::GnomeShellServer*>(desktop.get());
  // KWin's bus is this process's already.
  JoinSession(*desktop,
              shell ? shell->BusAddress() : std::string(getenv("DBUS_SESSION_BUS_ADDRESS")));
  static int argc = 1;
  static char name[] = "norvax_x11_tests";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  ASSERT_EQ(QGuiApplication::platformName(), "wayland");

  testing::TempDir directory;
  DesktopPorts ports(directory.Path(), directory / "norvax.ini");
  {
    EntryTable table;
    Entry entry = Entry::New();
    entry[Column::Title] = "Example";
    entry[Column::Id] = kId;
    entry[Column::Pass] = kPass;
    entry[Column::Browser] = "/bin/true";
    entry[Column::Set1] = "IE3.X";
    table.Append(entry);
    PreferenceList prefs;
    prefs.ResetToDefaults();
    prefs[TabAfterIdSet1] = "1";
    prefs[EnterAfterPassSet1] = "1";
    SaveEntryTable(ports.settings, table, prefs);
  }
  ASSERT_STREQ(WindowSystemName(ports.windows.kind), GetParam() ? "GNOME" : "KWin");
  WindowSystem& windows = *ports.windows.system;

  // The login dialog first: the main window opens over it.
  testing::ChildProcess dialog({NORVAX_TYPE_TARGET, kCaption}, desktop->Env());
  const WindowId dialogWindow = testing::WaitForWindow(windows, kCaption);
  ASSERT_NE(dialogWindow, 0u);
  // A box the program opens would hold up the test: it is recorded and closed.
  std::vector<std::string> boxes;
  QTimer boxCloser;
  QObject::connect(&boxCloser, &QTimer::timeout, [&] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      auto* message = qobject_cast<QMessageBox*>(box);
      boxes.push_back((message ? message->text() : box->windowTitle()).toStdString());
      box->close();
    }
  });
  boxCloser.start(200);

  ProgramState state;
  TForm1 form(state, ports.ports);
  ports.program.Attach(&form);
  ports.dialogs.SetParent(&form);
  form_ = &form;
  fakes::FakePasswordPrompt prompt;
  ASSERT_TRUE(form.Start({}, prompt));
  WindowId mainWindow = 0;
  ASSERT_TRUE(Pump(
      [&] {
        for (WindowId w : windows.TopLevelWindows()) {
          if (windows.ProcessId(w) == static_cast<std::uint32_t>(getpid())) mainWindow = w;
        }
        return mainWindow != 0;
      },
      10s));
  // The user brings the main window to the front (on GNOME that also ends the overview the
  // session starts with).
  auto bringToFront = [&] {
    return windows.SetForeground(mainWindow) &&
           Pump([&] { return windows.Foreground() == mainWindow; }, 5s);
  };
  ASSERT_TRUE(bringToFront());
  form.windowHandle()->installEventFilter(&watch_);
  pointer_ = desktop->Pointer();
  // New windows open in the middle of the screen (1024 x 768), the main window on top. The
  // pointer starts from the bottom right corner (the top left one opens GNOME's overview).
  ASSERT_TRUE(pointer_->MoveBy(4096, 4096));
  ASSERT_TRUE(pointer_->MoveBy(512 - 1023, 400 - 767));

  DoubleClick(form.Nonscrlbox2);
  ASSERT_TRUE(DialogFieldsUntil(dialog, "1:" + kId)) << "the ID did not arrive";
  EXPECT_EQ(windows.Foreground(), dialogWindow);

  ASSERT_TRUE(bringToFront());
  watch_.at.reset();
  DoubleClick(form.Scrlbox1);
  const auto fields = DialogFieldsUntil(dialog, "enter");
  ASSERT_TRUE(fields) << "the password's ENTER did not arrive";
  EXPECT_EQ(fields->count("1"), 0u) << "nothing more in the ID field";
  EXPECT_EQ(fields->at("2"), kPass) << "TAB moved to the password field, ENTER pressed OK";
  EXPECT_EQ(state.lastTargetCaption, Sjis(kCaption));
  EXPECT_EQ(boxes, std::vector<std::string>{});
  form.FormDestroy();
}

INSTANTIATE_TEST_SUITE_P(Desktop, MainWindowOnWayland, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "gnome" : "kwin"; });

}  // namespace
}  // namespace norvax
