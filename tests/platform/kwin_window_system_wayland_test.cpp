// The KWin adapter on a headless KWin that each test starts: Qt programs on Wayland and,
// through Xwayland, on X11 stand for the desktop's windows.
#include "platform/wayland/kwin_window_system.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "fakes/fake_clock.h"
#include "launch/keystrokes.h"
#include "platform/cp932.h"
#include "test_files.h"
#include "x11_env.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::WaitUntil;

const std::string kCaption = "ﾈｯﾄﾜｰｸ ﾊﾟｽﾜｰﾄﾞの入力";

class KWinWindowSystemTest : public ::testing::Test {
 protected:
  // False when the test cannot go on: skipped without KWin, failed without the adapter.
  // grant: this program may type; norvaxctl always may.
  bool Start(bool grant, const std::string& layout = "us") {
    testing::MakeCoreApplication();
    kwin_ = testing::KWinServer::Start(layout);
    if (!kwin_) {
      []() { GTEST_SKIP() << "no headless KWin"; }();
      return false;
    }
    // Before anyone connects: KWin reads the entries into a cache that it may renew late.
    kwin_->GrantFakeInput(NORVAXCTL_PATH);
    if (grant) kwin_->GrantFakeInput(std::filesystem::read_symlink("/proc/self/exe").string());
    windows_ = std::make_unique<KWinWindowSystem>(kwin_->Socket().c_str());
    EXPECT_TRUE(windows_->Available());
    finder_ = std::make_unique<WindowFinder>(*windows_, clock_, lastCaption_);
    return windows_->Available();
  }

  std::unique_ptr<ChildProcess> StartTarget(const std::string& caption, bool x11 = false) {
    return std::make_unique<ChildProcess>(std::vector<std::string>{NORVAX_TYPE_TARGET, caption},
                                          kwin_->Env(x11));
  }

  WindowId WaitForWindow(const std::string& captionUtf8) {
    return testing::WaitForWindow(*windows_, captionUtf8);
  }

  std::unique_ptr<testing::KWinServer> kwin_;
  std::unique_ptr<KWinWindowSystem> windows_;
  fakes::FakeClock clock_;
  std::string lastCaption_;
  std::unique_ptr<WindowFinder> finder_;
};

TEST_F(KWinWindowSystemTest, FindsByCaptionAndClassActivatesAndListsThroughNorvaxctl) {
  if (!Start(false)) return;
  auto target = StartTarget(kCaption);
  auto other = StartTarget("other", true);
  const WindowId w = WaitForWindow(kCaption);
  const WindowId x = WaitForWindow("other");
  ASSERT_NE(w, 0u);
  ASSERT_NE(x, 0u);
  EXPECT_EQ(windows_->ClassName(w), "type_target");
  EXPECT_EQ(windows_->ProcessId(w), static_cast<std::uint32_t>(target->Pid()));
  EXPECT_EQ(finder_->FindTargetWindow(Sjis("ﾊﾟｽﾜｰﾄﾞの入力"), "", 0), w);
  EXPECT_EQ(finder_->ActivateWindow(Sjis(kCaption), "", 0), w);
  EXPECT_EQ(windows_->Foreground(), w);
  EXPECT_EQ(windows_->TopLevelWindows()[0], w) << "the active window is on top";
  EXPECT_EQ(finder_->ActivateWindow("other", "", 0), x) << "an Xwayland window";
  EXPECT_EQ(windows_->Foreground(), x);

  testing::TempDir dir;
  const std::string command = "WAYLAND_DISPLAY=" + kwin_->Socket() + " " + NORVAXCTL_PATH +
                              " windows >" + (dir / "out").string() + " 2>" +
                              (dir / "err").string();
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 0);
  EXPECT_EQ(testing::ReadFile(dir / "err"), "windows: KWin\n");
  const std::string listed = testing::ReadFile(dir / "out");
  EXPECT_NE(listed.find(kCaption + "\ttype_target\n"), std::string::npos) << listed;

  target->Kill();
  EXPECT_TRUE(WaitUntil([&] { return !windows_->Exists(w); }, 5s));
  EXPECT_EQ(windows_->Caption(w), "");
}

// norvaxctl, which has its own .desktop file, types all the same.
TEST_F(KWinWindowSystemTest, WithoutTheGrantNothingIsTypedAndTheReasonIsGiven) {
  if (!Start(false)) return;
  auto target = StartTarget(kCaption);
  const WindowId w = WaitForWindow(kCaption);
  ASSERT_EQ(finder_->ActivateWindow(Sjis(kCaption), "", 0), w);
  EXPECT_NE(windows_->CannotTypeReason().find("org_kde_kwin_fake_input"), std::string::npos);
  EXPECT_EQ(windows_->TypeText(w, "abc"), 0u);
  EXPECT_FALSE(windows_->PressKey(w, Key::Enter));

  testing::TempDir dir;
  const std::string command = "WAYLAND_DISPLAY=" + kwin_->Socket() + " " + NORVAXCTL_PATH +
                              " type --caption 'ﾊﾟｽﾜｰﾄﾞの入力' 'taro{~' 2>" +
                              (dir / "err").string();
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 0) << testing::ReadFile(dir / "err");
  EXPECT_EQ(target->LastValuesUntil("enter", 5s)["1"], "taro");
}

// The user's layout a Japanese one.
class KWinTypingTest : public KWinWindowSystemTest, public ::testing::WithParamInterface<bool> {};

TEST_P(KWinTypingTest, AsciiTabAndEnterArriveExactlyAndKanjiIsRefused) {
  if (!Start(true, "jp")) return;
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

// Another program moves the focus at a random moment of the typing: each key reaches the
// window typed into, and is counted, or is not sent at all.
TEST_F(KWinWindowSystemTest, NotOneKeyReachesTheWindowThatTakesTheFocusMidTyping) {
  if (!Start(true)) return;
  auto first = StartTarget("first");
  auto second = StartTarget("second");
  ASSERT_NE(WaitForWindow("second"), 0u);
  const WindowId a = WaitForWindow("first");
  ASSERT_NE(a, 0u);
  KWinWindowSystem other(kwin_->Socket().c_str());
  std::string otherCaption;
  const WindowId b = WindowFinder(other, clock_, otherCaption).FindTargetWindow("second", "", 0);
  ASSERT_NE(b, 0u);
  const auto race = testing::RaceTypingAgainstFocusChange(*windows_, other, *first, a, b, 30);
  EXPECT_GT(race.cutShort, 0);
  EXPECT_TRUE(race.countsHold);
  EXPECT_TRUE(finder_->SendKeysText(finder_->ActivateWindow("second", "", 0), "ok"));
  EXPECT_EQ(second->ReadLine(5s), "1:o");
}

}  // namespace
}  // namespace norvax
