// The KWin adapter on a headless KWin that each test starts: Qt programs on Wayland and,
// through Xwayland, on X11 stand for the desktop's windows.
#include "platform/wayland/kwin_window_system.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "compositor_test.h"
#include "fakes/fake_clock.h"
#include "platform/cp932.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;
using testing::WaitUntil;

const std::string kCaption = "ﾈｯﾄﾜｰｸ ﾊﾟｽﾜｰﾄﾞの入力";

class KWinWindowSystemTest
    : public testing::CompositorTest<testing::KWinServer, KWinWindowSystem, fakes::FakeClock> {
 protected:
  // Which program KWin lets type.
  enum class Grant { kNone, kNorvaxctl, kThisProgram };

  // False when the test cannot go on: skipped without KWin, failed without the adapter.
  bool Start(Grant grant, const std::string& layout = "us") {
    testing::MakeCoreApplication();
    server_ = testing::KWinServer::Start(layout);
    if (!server_) {
      []() { GTEST_SKIP() << "no headless KWin"; }();
      return false;
    }
    // Before anyone connects: KWin reads the entries into a cache that it may renew late.
    if (grant == Grant::kNorvaxctl) server_->GrantFakeInput(NORVAXCTL_PATH);
    if (grant == Grant::kThisProgram)
      server_->GrantFakeInput(std::filesystem::read_symlink("/proc/self/exe").string());
    return Use(std::make_unique<KWinWindowSystem>(server_->Socket().c_str()));
  }
};

TEST_F(KWinWindowSystemTest, FindsByCaptionAndClassActivatesAndListsThroughNorvaxctl) {
  if (!Start(Grant::kNone)) return;
  auto target = StartTarget(kCaption);
  const WindowId w = WaitForWindow(kCaption);
  auto second = StartTarget("second");
  auto other = StartTarget("other", true);
  const WindowId s = WaitForWindow("second");
  const WindowId x = WaitForWindow("other");
  ASSERT_NE(w, 0u);
  ASSERT_NE(s, 0u);
  ASSERT_NE(x, 0u);
  EXPECT_EQ(windows_->ClassName(w), "type_target");
  EXPECT_EQ(windows_->ProcessId(w), static_cast<std::uint32_t>(target->Pid()));
  EXPECT_EQ(finder_->FindTargetWindow(Sjis("ﾊﾟｽﾜｰﾄﾞの入力"), "", 0), w);
  EXPECT_EQ(finder_->ActivateWindow("other", "", 0), x) << "an Xwayland window";
  EXPECT_EQ(windows_->Foreground(), x);
  EXPECT_EQ(finder_->ActivateWindow("second", "", 0), s);
  EXPECT_EQ(finder_->ActivateWindow(Sjis(kCaption), "", 0), w);
  EXPECT_EQ(windows_->Foreground(), w);
  // Topmost first: the window opened first, now active, before the one active before it.
  const auto order = windows_->TopLevelWindows();
  EXPECT_LT(std::find(order.begin(), order.end(), w), std::find(order.begin(), order.end(), s));

  EXPECT_EQ(Norvaxctl("windows"), 0);
  EXPECT_EQ(Err(), "windows: KWin\n");
  const std::string listed = Out();
  EXPECT_NE(listed.find(kCaption + "\ttype_target\n"), std::string::npos) << listed;

  target->Kill();
  EXPECT_TRUE(WaitUntil([&] { return !windows_->Exists(w); }, 5s));
  EXPECT_EQ(windows_->Caption(w), "");
}

// norvaxctl types once the user has let it: "norvaxctl grant-typing", which a failed typing
// names.
TEST_F(KWinWindowSystemTest, WithoutTheGrantNothingIsTypedAndTheReasonIsGiven) {
  if (!Start(Grant::kNone)) return;
  auto target = StartTarget(kCaption);
  const WindowId w = WaitForWindow(kCaption);
  ASSERT_EQ(finder_->ActivateWindow(Sjis(kCaption), "", 0), w);
  EXPECT_NE(windows_->CannotTypeReason().find("org_kde_kwin_fake_input"), std::string::npos);
  EXPECT_EQ(windows_->TypeText(w, "abc"), 0u);
  EXPECT_FALSE(windows_->PressKey(w, Key::Enter));

  const std::string type = "type --caption 'ﾊﾟｽﾜｰﾄﾞの入力' 'taro{~'";
  EXPECT_EQ(Norvaxctl(type), 1);
  EXPECT_NE(Err().find("org_kde_kwin_fake_input"), std::string::npos) << Err();
  EXPECT_NE(Err().find("\"norvaxctl grant-typing\""), std::string::npos) << Err();
  setenv("XDG_DATA_HOME", server_->DataHome().c_str(), 1);
  EXPECT_EQ(Norvaxctl("grant-typing"), 0) << Err();
  unsetenv("XDG_DATA_HOME");
  // KWin reads the new entry in a moment; a typing it refuses types nothing.
  EXPECT_TRUE(WaitUntil([&] { return Norvaxctl(type) == 0; }, 10s)) << Err();
  EXPECT_EQ(target->LastValuesUntil("enter", 5s)["1"], "taro");
}

// Another program of the session that found this program's connections on the bus sends
// them reports of its own, for every token a report might have, before the adapter asks
// KWin: a window list whose active window is a dialog of its own. None is taken: the
// typing goes on, the list is KWin's.
TEST_F(KWinWindowSystemTest, ReportsAreTakenFromKWinAlone) {
  if (!Start(Grant::kThisProgram)) return;
  auto target = StartTarget(kCaption);
  ASSERT_NE(WaitForWindow(kCaption), 0u);
  const WindowId w = finder_->ActivateWindow(Sjis(kCaption), "", 0);
  ASSERT_NE(w, 0u);
  QDBusConnection forger = testing::OpenBus(std::getenv("DBUS_SESSION_BUS_ADDRESS"));
  const QString fake = QString::fromUtf8(
      R"json([{"id":"{0}","caption":"ダイヤルアップ接続 (fake)","cls":"x","pid":1,"active":true}])json");
  for (const QString& name : forger.interface()->registeredServiceNames().value()) {
    if (!name.startsWith(u':') || name == forger.baseService() ||
        forger.interface()->servicePid(name).value() != static_cast<uint>(getpid()))
      continue;
    QDBusMessage report = QDBusMessage::createMethodCall(name, QStringLiteral("/Report"),
                                                         QStringLiteral("org.norvax.Report"),
                                                         QStringLiteral("Report"));
    for (int token = 0; token < 1000; ++token) {
      report.setArguments({QString::number(token), fake});
      forger.send(report);
    }
    forger.call(report);  // answered once the reports before it are taken or refused
  }
  EXPECT_EQ(windows_->TypeText(w, "abc"), 3u);
  EXPECT_TRUE(target->WaitForLine("1:abc", 5s));
  EXPECT_EQ(windows_->TopLevelWindows(), std::vector<WindowId>{w});
}

// norvaxctl cut off in the middle of a typing (killed, or stopped as a debugger stops it):
// what it left in KWin ends by itself (its bus name gone; the time; its target closed), so
// that another window can be activated and closing the target leaves KWin running.
struct CutTyping {
  const char* name;
  int signal;
  bool closeTargetFirst;
  std::chrono::milliseconds within;
};

void PrintTo(const CutTyping& cut, std::ostream* out) { *out << cut.name; }

class KWinCutTypingTest : public KWinWindowSystemTest,
                          public ::testing::WithParamInterface<CutTyping> {};

TEST_P(KWinCutTypingTest, LeavesKWinAsItWas) {
  const CutTyping& cut = GetParam();
  if (!Start(Grant::kNorvaxctl)) return;
  auto target = StartTarget(kCaption);
  auto other = StartTarget("other");
  const WindowId w = WaitForWindow(kCaption);
  const WindowId o = WaitForWindow("other");
  ASSERT_NE(w, 0u);
  ASSERT_NE(o, 0u);
  testing::ChildProcess typing(
      {NORVAXCTL_PATH, "type", "--caption", kCaption, std::string(2000, 'a')},
      {"WAYLAND_DISPLAY=" + server_->Socket()});
  ASSERT_TRUE(target->WaitForLine("1:aa", 20s));
  kill(typing.Pid(), cut.signal);
  auto closeTarget = [&] {
    target->Kill();
    EXPECT_TRUE(WaitUntil([&] { return !windows_->Exists(w); }, 5s));
    EXPECT_TRUE(server_->Running());
  };
  if (cut.closeTargetFirst) closeTarget();
  EXPECT_TRUE(WaitUntil([&] { return windows_->SetForeground(o) && windows_->Foreground() == o; },
                        cut.within));
  if (!cut.closeTargetFirst) closeTarget();
  kill(typing.Pid(), SIGKILL);
}

INSTANTIATE_TEST_SUITE_P(
    Cut, KWinCutTypingTest,
    ::testing::Values(CutTyping{"killed", SIGKILL, false, 5s},
                      CutTyping{"stopped", SIGSTOP, false,
                                std::chrono::milliseconds(KWinWindowSystem::kGuardLifetimeMs) + 5s},
                      CutTyping{"stopped_target_closed", SIGSTOP, true, 5s}),
    [](const auto& info) { return std::string(info.param.name); });

// The user's layout a Japanese one.
class KWinTypingTest : public KWinWindowSystemTest, public ::testing::WithParamInterface<bool> {};

TEST_P(KWinTypingTest, AsciiTabAndEnterArriveExactlyAndKanjiIsRefused) {
  if (!Start(Grant::kThisProgram, "jp")) return;
  auto target = StartTarget(kCaption, GetParam());
  ASSERT_NE(WaitForWindow(kCaption), 0u);
  const WindowId w = finder_->ActivateWindow(Sjis(kCaption), "", 0);
  ASSERT_NE(w, 0u);
  EXPECT_EQ(windows_->CannotTypeReason(), "");
  EXPECT_EQ(windows_->UntypableText(Sjis("ab秘密の秘c")), Sjis("秘密の"));
  const std::string id = "user01@Example.JP ~!#$%&'()=|{}[]<>?_";
  const std::string pass = "Pa55:w0rd;\"`^+*,./\\";
  EXPECT_TRUE(finder_->SendKeysText(w, id + "{]" + pass + "{~"));
  auto fields = target->LastValuesUntil("enter", 10s);
  EXPECT_EQ(fields["1"], id);
  EXPECT_EQ(fields["2"], pass);
}

INSTANTIATE_TEST_SUITE_P(Program, KWinTypingTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "xwayland" : "wayland"; });

// Another program moves the focus at a random moment of the typing.
TEST_F(KWinWindowSystemTest, NotOneKeyReachesTheWindowThatTakesTheFocusMidTyping) {
  if (!Start(Grant::kThisProgram)) return;
  ExpectNoKeyReachesTheWindowThatTakesTheFocus(30);
}

}  // namespace
}  // namespace norvax
