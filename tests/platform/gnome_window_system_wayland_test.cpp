// The GNOME adapter on a headless GNOME Shell that each test starts: Qt programs on Wayland
// and, through Xwayland, on X11 stand for the desktop's windows.
#include "platform/wayland/gnome_window_system.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "compositor_test.h"
#include "platform/cp932.h"
#include "platform/posix/system_clock.h"
#include "platform/wayland/wayland_window_system.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::WaitUntil;

const std::string kCaption = "ﾈｯﾄﾜｰｸ ﾊﾟｽﾜｰﾄﾞの入力";

// The shell activates a window once its overview has closed, in real time.
class GnomeWindowSystemTest
    : public testing::CompositorTest<testing::GnomeShellServer, GnomeWindowSystem, SystemClock> {
 protected:
  // False when the test cannot go on: skipped without GNOME Shell, failed without the adapter.
  bool Start(bool extension = true, const std::string& layout = "us") {
    server_ = testing::GnomeShellServer::Start(extension, layout);
    if (!server_) {
      []() { GTEST_SKIP() << "no headless GNOME Shell"; }();
      return false;
    }
    return Use(std::make_unique<GnomeWindowSystem>(server_->BusAddress().c_str(),
                                                   server_->Socket().c_str()));
  }

  std::unique_ptr<GnomeWindowSystem> Another() override {
    return std::make_unique<GnomeWindowSystem>(server_->BusAddress().c_str(),
                                               server_->Socket().c_str());
  }

  // Starts a login dialog and waits until it is shown: it has the focus, which a new window
  // takes once the overview of the login has closed (the first activation closes it).
  WindowId StartShown(std::unique_ptr<ChildProcess>& program, const std::string& caption,
                      bool x11 = false) {
    program = StartTarget(caption, x11);
    const WindowId w = WaitForWindow(caption);
    if (w != 0 && windows_->Foreground() == 0) finder_->ActivateWindow(Sjis(caption), "", 0);
    return WaitUntil([&] { return windows_->Foreground() == w; }, 5s) ? w : 0;
  }
};

// The extension is enabled at the first use; windows of Wayland and of Xwayland programs.
TEST_F(GnomeWindowSystemTest, FindsByCaptionAndClassActivatesAndTypesExactly) {
  if (!Start()) return;
  std::unique_ptr<ChildProcess> target, x11;
  const WindowId w = StartShown(target, kCaption);
  const WindowId second = StartShown(x11, kCaption + " - 2", true);
  ASSERT_NE(w, 0u);
  ASSERT_NE(second, 0u);
  EXPECT_EQ(windows_->Problem(), "");
  EXPECT_EQ(windows_->ClassName(w), "type_target");
  EXPECT_EQ(finder_->FindTargetWindow(Sjis(kCaption), "", 0), w);
  EXPECT_EQ(finder_->FindTargetWindow(Sjis("ﾊﾟｽﾜｰﾄﾞの入力 - "), "", 0), second);
  EXPECT_NE(finder_->FindTargetWindow("", "type_target", 0), 0u);
  const std::string id = "user01@Example.JP ~!#$%&'()=|{}[]<>?_";
  for (auto [window, program] : {std::pair(w, target.get()), std::pair(second, x11.get())}) {
    SCOPED_TRACE(windows_->Caption(window));
    ASSERT_EQ(finder_->ActivateWindow(windows_->Caption(window), "", 0), window);
    EXPECT_EQ(windows_->Foreground(), window);
    EXPECT_TRUE(finder_->SendKeysText(window, id + "{]Pass word{~"));
    auto fields = program->LastValuesUntil("enter", 10s);
    EXPECT_EQ(fields["1"], id);
    EXPECT_EQ(fields["2"], "Pass word");
  }
  target->Kill();
  EXPECT_TRUE(WaitUntil([&] { return !windows_->Exists(w); }, 5s));
  EXPECT_EQ(windows_->Caption(w), "");
}

TEST_F(GnomeWindowSystemTest, NorvaxctlListsTypesAndRefusesWhatTheLayoutLacks) {
  if (!Start(true, "jp")) return;
  auto target = StartTarget(kCaption);
  ASSERT_NE(WaitForWindow(kCaption), 0u);
  EXPECT_EQ(Norvaxctl("windows", server_->BusAddress()), 0);
  EXPECT_EQ(Err(), "windows: GNOME\n");
  EXPECT_EQ(Out(), kCaption + "\ttype_target\n");
  // Kana and kanji are on no key of the jp layout: nothing of the text is typed.
  EXPECT_EQ(windows_->UntypableText(Sjis("taroﾊﾟｽ漢字ﾊ")), Sjis("ﾊﾟｽ漢字"));
  EXPECT_EQ(Norvaxctl("type --caption 'ﾊﾟｽﾜｰﾄﾞの入力' 'taro漢字{~'", server_->BusAddress()), 1);
  EXPECT_EQ(Err(),
            "norvaxctl: NORVAX  このﾃﾞｽｸﾄｯﾌﾟでは入力できない文字があるため、"
            "入力しませんでした。(漢字)\n");
  EXPECT_EQ(Norvaxctl("type --caption 'ﾊﾟｽﾜｰﾄﾞの入力' 'taro_\\|@{~'", server_->BusAddress()), 0);
  EXPECT_EQ(target->LastValuesUntil("enter", 5s)["1"], "taro_\\|@");
}

TEST_F(GnomeWindowSystemTest, AWindowThatTakesTheFocusMidTypingReceivesNothing) {
  if (!Start()) return;
  ExpectNoKeyReachesTheWindowThatTakesTheFocus(30);
}

// What a NORVAX that dies mid-typing leaves inside GNOME Shell: the guard of its typing into
// target, asked for on a connection of its own, which goes with the object.
class LeftGuard {
 public:
  LeftGuard(const std::string& busAddress, WindowId target)
      : bus_(g_dbus_connection_new_for_address_sync(
            busAddress.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr)) {
    GVariant* reply =
        bus_ ? g_dbus_connection_call_sync(bus_, "org.gnome.Shell", "/org/norvax/Windows",
                                           "org.norvax.Windows", "Guard",
                                           g_variant_new("(t)", target), G_VARIANT_TYPE("(b)"),
                                           G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr)
             : nullptr;
    gboolean armed = false;
    if (reply) g_variant_get(reply, "(b)", &armed);
    if (reply) g_variant_unref(reply);
    armed_ = armed;
  }
  ~LeftGuard() {
    if (!bus_) return;
    g_dbus_connection_close_sync(bus_, nullptr, nullptr);
    g_object_unref(bus_);
  }
  LeftGuard(const LeftGuard&) = delete;
  LeftGuard& operator=(const LeftGuard&) = delete;
  bool Armed() const { return armed_; }

 private:
  GDBusConnection* bus_;
  bool armed_ = false;
};

// While the guard lasts, a window that is activated gives the focus back to target at once;
// the guard ends by itself when NORVAX's connection goes, when target closes and when NORVAX
// stops asking it.
TEST_F(GnomeWindowSystemTest, AGuardLeftBehindEndsByItself) {
  if (!Start()) return;
  std::unique_ptr<ChildProcess> first, second;
  const WindowId a = StartShown(first, "first");
  const WindowId b = StartShown(second, "second");
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  enum class End { kConnectionGoes, kTargetCloses, kNoMoreQuestions };
  for (End end : {End::kConnectionGoes, End::kTargetCloses, End::kNoMoreQuestions}) {
    SCOPED_TRACE(static_cast<int>(end));
    std::unique_ptr<ChildProcess> closing;
    const WindowId target = end == End::kTargetCloses ? StartShown(closing, "closing") : a;
    ASSERT_TRUE(windows_->SetForeground(target));
    ASSERT_TRUE(WaitUntil([&] { return windows_->Foreground() == target; }, 5s));
    std::optional<LeftGuard> guard(std::in_place, server_->BusAddress(), target);
    ASSERT_TRUE(guard->Armed());
    ASSERT_TRUE(windows_->SetForeground(b));
    EXPECT_EQ(windows_->Foreground(), target);
    if (end == End::kConnectionGoes) guard.reset();
    if (closing) closing->Kill();
    EXPECT_TRUE(
        WaitUntil([&] { return windows_->SetForeground(b) && windows_->Foreground() == b; }, 10s));
  }
}

// The extension answers NORVAX's programs (this one and norvaxctl: the other tests) and no
// other: neither a program of the session that calls it itself nor a copy of norvaxctl.
TEST_F(GnomeWindowSystemTest, TheExtensionRefusesAStranger) {
  if (!Start()) return;
  std::unique_ptr<ChildProcess> first, second;
  ASSERT_NE(StartShown(first, "first"), 0u);
  const WindowId b = StartShown(second, "second");
  ASSERT_NE(b, 0u);
  const std::string id = std::to_string(b);
  for (const std::string& call : {std::string("List"), "Activate " + id, "Guard " + id}) {
    SCOPED_TRACE(call);
    const std::string command = "gdbus call --address '" + server_->BusAddress() +
                                "' --dest org.gnome.Shell --object-path /org/norvax/Windows "
                                "--method org.norvax.Windows." +
                                call + " >" + (dir_ / "out").string() + " 2>&1";
    EXPECT_NE(std::system(command.c_str()), 0);
    EXPECT_NE(Out().find("org.freedesktop.DBus.Error.AccessDenied"), std::string::npos) << Out();
    EXPECT_EQ(Out().find("first"), std::string::npos);
  }
  EXPECT_EQ(windows_->Foreground(), b);

  const auto copy = dir_ / "norvaxctl";
  std::filesystem::copy_file(NORVAXCTL_PATH, copy);
  const std::string command = "DBUS_SESSION_BUS_ADDRESS='" + server_->BusAddress() +
                              "' WAYLAND_DISPLAY=" + server_->Socket() + " " + copy.string() +
                              " windows >" + (dir_ / "out").string() + " 2>&1";
  EXPECT_NE(std::system(command.c_str()), 0);
  EXPECT_NE(Out().find(copy.string() + ") に答えない"), std::string::npos) << Out();
}

// The layout is the compositor's: the Latin letters are on no key of a Russian one.
TEST_F(GnomeWindowSystemTest, WithoutTheExtensionNothingIsFoundAndTheMessageSaysWhy) {
  if (!Start(false, "ru")) return;
  EXPECT_EQ(windows_->UntypableText("taro1"), "taro");
  auto target = StartTarget(kCaption);
  EXPECT_EQ(finder_->FindTargetWindow(Sjis(kCaption), "", 0), 0u);
  EXPECT_NE(windows_->Problem().find(Sjis("ﾛｸﾞｱｳﾄして再ﾛｸﾞｲﾝ")), std::string::npos);
  EXPECT_EQ(Norvaxctl("type --caption 'ﾊﾟｽﾜｰﾄﾞの入力' 123", server_->BusAddress()), 1);
  EXPECT_NE(Err().find("norvax-windows-legacy@norvax.org"), std::string::npos);

  // The wlroots adapter, tried first, finds its protocols missing and goes: it closes no
  // descriptor that is not its own (the GNOME adapter's bus connection takes the numbers it
  // gave back).
  int fds[2] = {-1, -1};
  {
    WaylandWindowSystem wlroots(server_->Socket().c_str());
    EXPECT_FALSE(wlroots.Available());
    ASSERT_EQ(pipe(fds), 0);
  }
  EXPECT_NE(fcntl(fds[0], F_GETFD), -1);
  EXPECT_NE(fcntl(fds[1], F_GETFD), -1);
  close(fds[0]);
  close(fds[1]);
}

// Mutter's interface is private: another version than the one spoken is not used at all.
TEST(GnomeRemoteDesktopVersionTest, AnotherVersionIsRefusedWithTheReason) {
  ChildProcess bus({"dbus-daemon", "--config-file=" NORVAX_TEST_TOOLS_DIR "/system_bus.conf",
                    "--nofork", "--print-address"},
                   {});
  const std::string address = bus.ReadLine(10s).value_or("");
  ASSERT_FALSE(address.empty());
  ChildProcess mutter(
      {"/usr/bin/python3", "-m", "dbusmock", "--session", "--template",
       NORVAX_TEST_TOOLS_DIR "/mutter_mock.py", "-l", "/dev/null", "-p", R"({"Version": 2})"},
      {"DBUS_SESSION_BUS_ADDRESS=" + address});
  const std::string expected = Sjis(
      "GNOME のﾘﾓｰﾄﾃﾞｽｸﾄｯﾌﾟ機能 (org.gnome.Mutter.RemoteDesktop) がﾊﾞｰｼﾞｮﾝ 2 で、"
      "NORVAXが対応するﾊﾞｰｼﾞｮﾝ 1 ではないため、入力できません。");
  EXPECT_TRUE(WaitUntil(
      [&] {
        GnomeWindowSystem windows(address.c_str(), "/nonexistent");
        return windows.PressKey(1, Key::Enter) == false && windows.Problem() == expected;
      },
      10s));
}

}  // namespace
}  // namespace norvax
