// norvax_screens: opens each window of the program with the data of a program directory
// and saves a picture of it, one PNG per window. Used by scripts/screenshots.
//
//   norvax_screens PROGRAM_DIR OUT_DIR [WINDOW...]
//
// To add a window, add a line to Screens() below.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/desktop_ports.h"
#include "core/main_window.h"
#include "core/program_state.h"
#include "core/settings.h"
#include "dialup/connection_settings_window.h"
#include "dialup/dial_session.h"
#include "dialup/dial_status_dialog.h"
#include "launch/entry_editor_window.h"
#include "launch/main_timer.h"
#include "launch/proxy_window.h"
#include "platform/cp932.h"
#include "platform/qt/fonts.h"
#include "platform/qt/program_icon.h"
#include "platform/qt/qt_help.h"
#include "platform/sim/sim_phonebook.h"
#include "platform/store/ini_file.h"
#include "platform/user_dialogs.h"
#include "windows/log_viewer_window.h"
#include "windows/monthly_totals_window.h"
#include "windows/password_dialog.h"
#include "windows/preferences_window.h"
#include "windows/register_window.h"
#include "windows/version_window.h"
#include "windows/wait_window.h"

namespace norvax {
namespace {

// Messages go to the terminal instead of boxes nobody would close.
class PrintedDialogs : public UserDialogs {
 public:
  void ShowError(const std::string& text) override {
    std::fprintf(stderr, "error: %s\n", Cp932ToUtf8(text).c_str());
  }
  void ShowMessage(const std::string& text) override {
    std::fprintf(stderr, "message: %s\n", Cp932ToUtf8(text).c_str());
  }
  bool ConfirmOkCancel(const std::string& text) override {
    ShowMessage(text);
    return true;
  }
};

struct Context {
  std::filesystem::path directory;
  ProgramState& state;
  Ports& ports;
  QtHelp& help;
};

struct Screen {
  const char* name;
  // Creates and shows the window; the caller takes the picture and then deletes it.
  std::function<QWidget*(Context&)> open;
};

// The preferences window at one of its pages.
QWidget* PreferencesPage(Context& c, int page) {
  auto* w = new TForm4(c.state.prefs, nullptr, c.ports.dialogs, c.ports.help);
  w->SetPromptFactory([w] { return std::make_unique<QtPasswordPrompt>(w); });
  w->PageControl1->setCurrentIndex(page);
  w->show();
  return w;
}

std::vector<Screen> Screens() {
  return {
      {"main",
       [](Context& c) -> QWidget* {
         auto* w = new TForm1(c.state, c.ports);
         w->Panel5->setVisible(c.state.prefs.IsOn(ShowTargetCaption));
         w->FillEntryLists(0, -1);
         w->show();
         return w;
       }},
      {"main-caption",
       [](Context& c) -> QWidget* {
         auto* w = new TForm1(c.state, c.ports);
         w->Panel5->setVisible(true);
         w->Label4->setText(QStringLiteral("接続 - Example Net"));
         w->resize(200, 220);
         w->FillEntryLists(0, 1);
         w->show();
         return w;
       }},
      {"version",
       [](Context&) -> QWidget* {
         auto* w = new TAboutBox;
         w->show();
         return w;
       }},
      {"wait",
       [](Context& c) -> QWidget* {
         auto* w = new TForm5(c.state.main);
         w->SetText(WaitCountdownText(2), kWaitTextGreen);
         return w;
       }},
      {"help-finder",
       [](Context& c) -> QWidget* {
         c.help.ShowFinder();
         return c.help.Window();
       }},
      {"help-search",
       [](Context& c) -> QWidget* {
         c.help.ShowTopic("NV013");
         c.help.Window()->Finder->setCurrentIndex(1);
         c.help.Window()->SearchText->setText(QStringLiteral("パスワード 起動"));
         return c.help.Window();
       }},
      {"register",
       [](Context& c) -> QWidget* {
         auto* w = new TForm2(c.state, c.ports);
         w->show();
         return w;
       }},
      {"editor",
       [](Context& c) -> QWidget* {
         static EditorContext context;
         context = c.state.table.Count() > 0
                       ? EditorContext{EditorMode::Edit, 0, c.state.table.Count(), true}
                       : EditorContext{EditorMode::Add, -1, 0, true};
         auto* w = new TForm3(context, c.state.table, c.state.prefs, c.ports.remote,
                              c.ports.dialogs, c.ports.help);
         w->setWindowTitle(QStringLiteral("編集"));
         w->show();
         return w;
       }},
      {"preferences-1", [](Context& c) { return PreferencesPage(c, 0); }},
      {"preferences-2", [](Context& c) { return PreferencesPage(c, 1); }},
      {"preferences-3", [](Context& c) { return PreferencesPage(c, 2); }},
      {"preferences-4", [](Context& c) { return PreferencesPage(c, 3); }},
      {"preferences-5", [](Context& c) { return PreferencesPage(c, 4); }},
      {"password-change",
       [](Context&) -> QWidget* {
         auto* w = new PasswordDialog;
         w->Apply(PasswordPromptSetup{Sjis("登録ｳｲﾝﾄﾞｳのﾊﾟｽﾜｰﾄﾞ変更"), Sjis("旧ﾊﾟｽﾜ-ﾄﾞ"),
                                      Sjis("新ﾊﾟｽﾜ-ﾄﾞ"), true});
         w->show();
         return w;
       }},
      {"log-viewer",
       [](Context& c) -> QWidget* {
         auto* w = new TForm8(c.ports.logFiles, c.ports.dialogs, c.help, c.ports.clock);
         w->show();
         return w;
       }},
      {"monthly-totals",
       [](Context& c) -> QWidget* {
         auto* w = new TForm9(c.ports.logFiles, c.ports.dialogs);
         w->show();
         return w;
       }},
      {"proxy",
       [](Context& c) -> QWidget* {
         static std::string flags = "110",
                            servers = "http=proxy.example.jp:8080;ftp=ftp.example.jp:21",
                            exceptions = "localhost;intranet";
         auto* w = new TForm6(flags, servers, exceptions, c.ports.dialogs, c.ports.help);
         w->show();
         return w;
       }},
      {"connection-settings",
       [](Context& c) -> QWidget* {
         static std::string profile = c.state.table.Value(0, Column::DialProfile);
         auto* w = new TForm7(profile, c.state.table.Value(0, Column::Connection), c.ports.remote,
                              c.ports.dialogs, c.ports.help);
         w->show();
         return w;
       }},
      {"dial-status",
       [](Context& c) -> QWidget* {
         auto* w = new TOKRightDlg(
             Sjis("NORVAX  ") + c.state.table.Value(0, Column::Connection) + Sjis("に接続中"),
             [] {});
         w->SetStatus(Sjis("ﾀﾞｲﾔﾙ中...    (2回目   MAX 20回   間隔 1秒)"));
         w->show();
         return w;
       }},
      {"dial-error",
       [](Context& c) -> QWidget* {
         auto* w = new TOKRightDlg1(
             Sjis("NORVAX  ") + c.state.table.Value(0, Column::Connection) + Sjis("に接続"),
             BusyReport(20));
         w->show();
         return w;
       }},
  };
}

void Settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace
}  // namespace norvax

int main(int argc, char** argv) {
  using namespace norvax;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("NORVAX"));
  QApplication::setWindowIcon(ProgramIcon());
  InstallProgramFonts();
  if (argc < 3) {
    std::fprintf(stderr, "usage: norvax_screens PROGRAM_DIR OUT_DIR [WINDOW...]\n");
    return 2;
  }
  const std::filesystem::path directory = argv[1];
  const QString out = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(out);
  std::vector<std::string> wanted(argv + 3, argv + argc);

  DesktopPorts desktop(directory, directory / "norvax.ini");
  PrintedDialogs dialogs;
  QtHelp& help = desktop.help;
  Ports ports{desktop.settings,        dialogs,           help,
              *desktop.dialler.access, desktop.clock,     *desktop.windows.system,
              desktop.registry,        desktop.processes, desktop.program,
              desktop.logState,        desktop.logFiles,  desktop.proxy};
  ProgramState state;
  LoadSettings(desktop.settings, state.table, state.prefs, dialogs, desktop.clock.Now());
  Context context{directory, state, ports, help};

  int failures = 0;
  for (const auto& screen : Screens()) {
    if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), screen.name) == wanted.end()) {
      continue;
    }
    QWidget* widget = screen.open(context);
    Settle(300);
    const QString path = out + QStringLiteral("/%1.png").arg(QString::fromUtf8(screen.name));
    if (widget && widget->window()->grab().save(path)) {
      std::printf("%s\n", path.toLocal8Bit().constData());
    } else {
      std::fprintf(stderr, "norvax_screens: no picture of %s\n", screen.name);
      ++failures;
    }
    if (widget && widget != help.Window()) {
      delete widget;
    } else if (widget) {
      widget->hide();
    }
  }
  return failures == 0 ? 0 : 1;
}
