// The Wayland adapter on a headless sway that each test starts: Qt programs on Wayland and,
// through Xwayland, on X11 stand for the desktop's windows.
#include "platform/wayland/wayland_window_system.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include "compositor_test.h"
#include "fakes/fake_clock.h"
#include "platform/cp932.h"
#include "platform/wayland/typing_keymap.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;
using testing::WaitUntil;

const std::string kCaption = "ﾈｯﾄﾜｰｸ ﾊﾟｽﾜｰﾄﾞの入力";

class WaylandWindowSystemTest
    : public testing::CompositorTest<testing::SwayServer, WaylandWindowSystem, fakes::FakeClock> {
 protected:
  void SetUp() override {
    server_ = testing::SwayServer::Start();
    if (!server_) GTEST_SKIP() << "no headless sway";
    ASSERT_TRUE(Use(std::make_unique<WaylandWindowSystem>(server_->Socket().c_str())));
  }
};

TEST_F(WaylandWindowSystemTest, FindsByExactCaptionContainedCaptionAndAppIdAndActivates) {
  auto target = StartTarget(kCaption);
  auto other = StartTarget(kCaption + " - 2");
  const WindowId w = WaitForWindow(kCaption);
  const WindowId second = WaitForWindow(kCaption + " - 2");
  ASSERT_NE(w, 0u);
  ASSERT_NE(second, 0u);
  EXPECT_EQ(windows_->ClassName(w), "type_target");
  EXPECT_EQ(finder_->FindTargetWindow(Sjis(kCaption), "", 0), w);
  EXPECT_EQ(finder_->FindTargetWindow(Sjis("ﾊﾟｽﾜｰﾄﾞの入力 - "), "", 0), second);
  EXPECT_EQ(finder_->FindTargetWindow("", "type_target", 0), windows_->TopLevelWindows()[0]);
  EXPECT_EQ(finder_->ActivateWindow(Sjis(kCaption), "", 0), w);
  EXPECT_EQ(windows_->Foreground(), w);
  EXPECT_EQ(windows_->TopLevelWindows()[0], w) << "the window with the focus comes first";
  target->Kill();
  EXPECT_TRUE(WaitUntil([&] { return !windows_->Exists(w); }, 5s));
  EXPECT_EQ(windows_->Caption(w), "");
}

TEST_F(WaylandWindowSystemTest, NorvaxctlListsAndTypesThroughWayland) {
  auto target = StartTarget(kCaption);
  ASSERT_NE(WaitForWindow(kCaption), 0u);
  EXPECT_EQ(Norvaxctl("windows"), 0);
  EXPECT_EQ(Err(), "windows: Wayland\n");
  EXPECT_EQ(Out(), kCaption + "\ttype_target\n");
  EXPECT_EQ(Norvaxctl("type --caption 'ﾊﾟｽﾜｰﾄﾞの入力' 'taro{~'"), 0);
  EXPECT_EQ(target->LastValuesUntil("enter", 5s)["1"], "taro");
}

// The user's layout a Japanese one (the machine's default: there is no keyboard on the seat);
// the program's X display Xwayland, as in a desktop session.
class WaylandTypingTest : public WaylandWindowSystemTest,
                          public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    setenv("XKB_DEFAULT_LAYOUT", "jp", 1);
    WaylandWindowSystemTest::SetUp();
    if (!server_) return;
    for (const std::string& variable : server_->Env(true)) {
      const auto equals = variable.find('=');
      const std::string name = variable.substr(0, equals);
      if (name == "DISPLAY" || name == "XAUTHORITY")
        setenv(name.c_str(), variable.c_str() + equals + 1, 1);
    }
  }
  void TearDown() override {
    for (const char* variable : {"XKB_DEFAULT_LAYOUT", "DISPLAY", "XAUTHORITY"}) unsetenv(variable);
  }
};

TEST_P(WaylandTypingTest, JapaneseAsciiTabAndEnterArriveExactly) {
  auto target = StartTarget(kCaption, GetParam());
  ASSERT_NE(WaitForWindow(kCaption), 0u);
  const WindowId w = finder_->ActivateWindow(Sjis(kCaption), "", 0);
  ASSERT_NE(w, 0u);
  const std::string id = "user01@Example.JP ~!#$%&'()=|{}[]<>?_";
  // More different characters than one keymap holds: 300 kanji from 亜 (0x889F) on.
  std::string pass = Sjis("ﾊﾟｽﾜｰﾄﾞ秘密の合言葉ａｂｃ①");
  for (int lead = 0x88, trail = 0x9F, n = 0; n < 300; ++n) {
    pass += {static_cast<char>(lead), static_cast<char>(trail)};
    trail = trail == 0x7E ? 0x80 : trail == 0xFC ? 0x40 : trail + 1;
    if (trail == 0x40) ++lead;
  }
  EXPECT_TRUE(finder_->SendKeysText(w, id + "{]" + pass + "{~"));
  auto fields = target->LastValuesUntil("enter", 10s);
  EXPECT_EQ(fields["1"], id);
  EXPECT_EQ(fields["2"], Cp932ToUtf8(pass));
}

INSTANTIATE_TEST_SUITE_P(Program, WaylandTypingTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "xwayland" : "wayland"; });

TEST_F(WaylandWindowSystemTest, AWindowThatTakesTheFocusMidTypingReceivesNothing) {
  auto first = StartTarget("first");
  auto second = StartTarget("second");
  ASSERT_NE(WaitForWindow("first"), 0u);
  const WindowId b = WaitForWindow("second");
  const WindowId a = finder_->ActivateWindow("first", "", 0);
  ASSERT_NE(a, 0u);
  const std::string text = "abc{]def{~";
  EXPECT_EQ(finder_->SendKeysRun(a, text, 0), 3u);
  ASSERT_TRUE(first->WaitForLine("1:abc", 5s));
  // Another program, with a connection (and window ids) of its own, gives the focus to the
  // second window.
  WaylandWindowSystem other(server_->Socket().c_str());
  std::string otherCaption;
  ASSERT_NE(WindowFinder(other, clock_, otherCaption).ActivateWindow("second", "", 0), 0u);
  EXPECT_EQ(finder_->SendKeysRun(a, text, 3), std::nullopt) << "no TAB";
  EXPECT_EQ(windows_->TypeText(a, "def"), 0u);
  // What the second window receives proves the keyboard still works and nothing else went
  // there.
  EXPECT_TRUE(finder_->SendKeysText(b, "ok{~"));
  EXPECT_EQ(second->LastValuesUntil("enter", 5s)["1"], "ok");
}

// Another program moves the focus at a random moment of the typing.
TEST_F(WaylandWindowSystemTest, NotOneKeyReachesTheWindowThatTakesTheFocusMidTyping) {
  ExpectNoKeyReachesTheWindowThatTakesTheFocus(100);
}

// A keymap file shorter than the size the compositor announces is not read past its end
// (a mapping faults there: SIGBUS).
TEST(ReadSentKeymapTest, ReadsTheAnnouncedTextAndRefusesAFileShorterThanAnnounced) {
  std::string keymap = "xkb_keymap {";
  keymap.resize(4096, ' ');  // one page, without the terminating NUL
  const int fd = memfd_create("keymap", MFD_CLOEXEC);
  ASSERT_EQ(write(fd, keymap.c_str(), keymap.size()), static_cast<ssize_t>(keymap.size()));
  EXPECT_EQ(ReadSentKeymap(fd, 4096), keymap);
  EXPECT_EQ(ReadSentKeymap(fd, 4097), std::nullopt);
  close(fd);
}

}  // namespace
}  // namespace norvax
