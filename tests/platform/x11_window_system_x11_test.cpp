#include "platform/x11/x11_window_system.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "fakes/fake_clock.h"
#include "launch/keystrokes.h"
#include "platform/cp932.h"
#include "platform/x11/direct_input.h"
#include "test_files.h"
#include "x11_env.h"

// After the test framework: Xlib's macros clash with its names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#undef Bool
#undef None

namespace norvax {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::WaitUntil;
using testing::XServer;

const std::string kCaption = "ﾈｯﾄﾜｰｸ ﾊﾟｽﾜｰﾄﾞの入力";

// One X server per window-manager setting, shared by the tests of that setting.
class X11WindowSystemTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    server_ = std::make_unique<XServer>(GetParam());
    windows_ = std::make_unique<X11WindowSystem>(server_->Display().c_str());
  }

  std::unique_ptr<ChildProcess> StartTarget(const std::string& caption) {
    auto target = std::make_unique<ChildProcess>(
        std::vector<std::string>{NORVAX_TYPE_TARGET, caption}, server_->Env());
    return target;
  }

  WindowId WaitForWindow(const std::string& captionUtf8) {
    WindowId found = 0;
    WaitUntil(
        [&] {
          for (auto w : windows_->TopLevelWindows()) {
            if (windows_->CaptionUtf8(w) == captionUtf8) found = w;
          }
          return found != 0;
        },
        10s);
    return found;
  }

  bool Activate(WindowId w) {
    return windows_->SetForeground(w) && WaitUntil([&] { return windows_->Foreground() == w; }, 5s);
  }

  std::unique_ptr<XServer> server_;
  std::unique_ptr<X11WindowSystem> windows_;
};

TEST_P(X11WindowSystemTest, FindsWindowsByCaptionClassAndProcess) {
  auto target = StartTarget(kCaption);
  WindowId w = WaitForWindow(kCaption);
  ASSERT_NE(w, 0u);
  EXPECT_EQ(windows_->Caption(w), Sjis(kCaption));
  EXPECT_EQ(windows_->ProcessId(w), static_cast<std::uint32_t>(target->Pid()));
  // A window whose program sets no process id (this test's own) is known by its client.
  Display* display = XOpenDisplay(server_->Display().c_str());
  ASSERT_NE(display, nullptr);
  Window bare = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
  XSync(display, False);
  EXPECT_EQ(windows_->ProcessId(bare), static_cast<std::uint32_t>(getpid()));
  XCloseDisplay(display);
  EXPECT_FALSE(windows_->ClassName(w).empty());
  EXPECT_TRUE(windows_->Exists(w));
  target->Kill();
  EXPECT_TRUE(WaitUntil([&] { return !windows_->Exists(w); }, 5s));
  EXPECT_EQ(windows_->Caption(w), "");
}

TEST_P(X11WindowSystemTest, TypesJapaneseTextTabAndEnterExactly) {
  auto target = StartTarget(kCaption);
  WindowId w = WaitForWindow(kCaption);
  ASSERT_NE(w, 0u);
  ASSERT_TRUE(Activate(w));
  const std::string id = "user01@Example.JP ~!#$%&'()=|{}[]<>?_";
  const std::string pass = "ﾊﾟｽﾜｰﾄﾞ秘密の合言葉ａｂｃ①";
  EXPECT_EQ(windows_->TypeText(w, Sjis(id)), Sjis(id).size());
  EXPECT_TRUE(windows_->PressKey(w, Key::Tab));
  // The characters the keyboard lacks are typed on keys remapped for a moment: a program
  // that reads its events late (stopped here for longer than the typing takes) still reads
  // them with the keys remapped.
  ASSERT_EQ(kill(target->Pid(), SIGSTOP), 0);
  std::thread late([&] {
    std::this_thread::sleep_for(500ms);
    kill(target->Pid(), SIGCONT);
  });
  EXPECT_EQ(windows_->TypeText(w, Sjis(pass)), Sjis(pass).size());
  late.join();
  EXPECT_TRUE(windows_->PressKey(w, Key::Enter));
  auto fields = target->LastValuesUntil("enter", 5s);
  EXPECT_EQ(fields["1"], id);
  EXPECT_EQ(fields["2"], pass);
}

TEST_P(X11WindowSystemTest, NotOneKeyReachesAWindowWithoutTheFocus) {
  auto first = StartTarget("first");
  auto second = StartTarget("second");
  WindowId a = WaitForWindow("first");
  WindowId b = WaitForWindow("second");
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  ASSERT_TRUE(Activate(a));
  EXPECT_EQ(windows_->TypeText(b, "secret"), 0u);
  EXPECT_FALSE(windows_->PressKey(b, Key::Enter));
  // Another program moves the focus to b at a random moment of the typing into a: each key
  // reaches a, and is counted, or is not sent at all.
  X11WindowSystem other(server_->Display().c_str());
  const auto race = testing::RaceTypingAgainstFocusChange(*windows_, other, *first, a, b, 100);
  EXPECT_GT(race.cutShort, 0);
  EXPECT_TRUE(race.countsHold);
  // The first key b receives is the one typed into it now.
  ASSERT_TRUE(Activate(b));
  EXPECT_EQ(windows_->TypeText(b, "ok"), 2u);
  EXPECT_EQ(second->ReadLine(5s), "1:o");
}

TEST_P(X11WindowSystemTest, TopLevelListHoldsEveryProgramsWindow) {
  auto first = StartTarget("one");
  auto second = StartTarget("two");
  WindowId a = WaitForWindow("one");
  WindowId b = WaitForWindow("two");
  auto all = windows_->TopLevelWindows();
  EXPECT_NE(std::find(all.begin(), all.end(), a), all.end());
  EXPECT_NE(std::find(all.begin(), all.end(), b), all.end());
}

INSTANTIATE_TEST_SUITE_P(WindowManager, X11WindowSystemTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "matchbox" : "none"; });

// The user's keyboard state does not depend on a window manager.
using X11KeyboardTest = X11WindowSystemTest;

TEST_P(X11KeyboardTest, ExactTextArrivesWhateverTheKeyboardStateAndTheStateStays) {
  Display* display = XOpenDisplay(server_->Display().c_str());
  ASSERT_NE(display, nullptr);
  auto state = [&] {
    XkbStateRec s{};
    XkbGetState(display, XkbUseCoreKbd, &s);
    return s;
  };
  // Another program holds Shift down all through the typing, pressing it again as soon as
  // it is released.
  std::atomic<bool> typing{false};
  auto holdShift = [&] {
    Display* other = XOpenDisplay(server_->Display().c_str());
    KeyCode shift = XKeysymToKeycode(other, XK_Shift_L);
    while (typing) {
      char keys[32];
      XQueryKeymap(other, keys);
      if (!(keys[shift / 8] & (1 << (shift % 8)))) XTestFakeKeyEvent(other, shift, True, 0);
      XSync(other, False);
    }
    XTestFakeKeyEvent(other, shift, False, 0);
    XCloseDisplay(other);
  };
  const struct Case {
    const char* keymap;
    std::function<void()> setUp;
    bool holdShift;
    std::function<void()> check;
  } cases[] = {
      {"-model jp106 -layout jp",
       [&] { XkbLockModifiers(display, XkbUseCoreKbd, LockMask, LockMask); }, false,
       [&] { EXPECT_TRUE(state().locked_mods & LockMask) << "Caps Lock is on again"; }},
      {"-layout us,ru", [&] { XkbLockGroup(display, XkbUseCoreKbd, 1); }, false,
       [&] { EXPECT_EQ(state().locked_group, 1) << "the second layout is active again"; }},
      {"-layout us", [] {}, true, [] {}},
  };
  const std::string text = "abcXYZ019@[_]:+ Pass-Word";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keymap);
    ASSERT_EQ(system(("setxkbmap -display " + server_->Display() + " " + c.keymap).c_str()), 0);
    auto target = StartTarget("keyboard");
    WindowId w = WaitForWindow("keyboard");
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(Activate(w));
    c.setUp();
    XSync(display, False);
    typing = c.holdShift;
    std::thread holder;
    if (c.holdShift) holder = std::thread(holdShift);
    EXPECT_EQ(windows_->TypeText(w, text), text.size());
    EXPECT_TRUE(windows_->PressKey(w, Key::Enter));
    typing = false;
    if (holder.joinable()) holder.join();
    EXPECT_EQ(target->LastValuesUntil("enter", 5s)["1"], text);
    c.check();
  }
  XCloseDisplay(display);
}

INSTANTIATE_TEST_SUITE_P(NoWindowManager, X11KeyboardTest, ::testing::Values(false));

// ibus with the anthy engine in hiragana input mode on a private session bus: typed ASCII
// would become kana and ENTER would only end the composition.
TEST(X11InputMethodTest, IbusInJapaneseModeGetsTheExactTextAndKeepsItsEngine) {
  if (access("/usr/bin/ibus-daemon", X_OK) != 0) GTEST_SKIP() << "ibus is not installed";
  XServer server(false);
  char home[] = "/tmp/norvax-ibus-XXXXXX";
  ASSERT_NE(mkdtemp(home), nullptr);
  struct RemoveHome {
    const char* path;
    ~RemoveHome() { std::filesystem::remove_all(path); }
  } removeHome{home};
  auto env = server.Env();
  // The anthy engine is a python3 program that needs the system's python3.
  const char* path = std::getenv("PATH");
  env.insert(env.end(), {std::string("HOME=") + home, "GSETTINGS_BACKEND=keyfile",
                         std::string("PATH=/usr/bin:/bin:") + (path ? path : "")});
  ChildProcess bus({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, env);
  auto busAddress = bus.ReadLine(10s);
  ASSERT_TRUE(busAddress) << "dbus-daemon did not start";
  env.push_back("DBUS_SESSION_BUS_ADDRESS=" + *busAddress);
  // What a tool prints, when it succeeds.
  auto run = [&](const std::vector<std::string>& argv) -> std::optional<std::string> {
    ChildProcess tool(argv, env);
    auto line = tool.ReadLine(5s);
    auto status = tool.WaitForExit(5s);
    if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) return std::nullopt;
    return line.value_or("");
  };
  ASSERT_TRUE(run({"gsettings", "set", "org.freedesktop.ibus.engine.anthy.common", "input-mode",
                   "0"}));  // hiragana
  ChildProcess daemon({"ibus-daemon", "--xim", "--panel=disable", "--emoji-extension=disable",
                       "--config=disable", "--cache=refresh"},
                      env);
  std::optional<std::string> ibusAddress;
  auto ibus = [&](std::vector<std::string> method) {
    std::vector<std::string> argv = {"gdbus",         "call",
                                     "--address",     *ibusAddress,
                                     "--dest",        "org.freedesktop.IBus",
                                     "--object-path", "/org/freedesktop/IBus",
                                     "--method"};
    argv.insert(argv.end(), method.begin(), method.end());
    return run(argv);
  };
  const std::vector<std::string> setAnthy = {"org.freedesktop.IBus.SetGlobalEngine", "anthy"};
  ASSERT_TRUE(WaitUntil(
      [&] {
        ibusAddress = run({"ibus", "address"});
        return ibusAddress && ibusAddress->starts_with("unix:") && ibus(setAnthy).has_value();
      },
      20s));
  auto engineIsAnthy = [&] {
    auto desc =
        ibus({"org.freedesktop.DBus.Properties.Get", "org.freedesktop.IBus", "GlobalEngine"});
    return desc && desc->find("'IBusEngineDesc', @a{sv} {}, 'anthy',") != std::string::npos;
  };
  ASSERT_TRUE(engineIsAnthy());
  // The program finds the daemon as a desktop program does.
  setenv("IBUS_ADDRESS", ibusAddress->c_str(), 1);
  struct Unset {
    ~Unset() { unsetenv("IBUS_ADDRESS"); }
  } unset;
  env.push_back("QT_IM_MODULE=ibus");
  ChildProcess target({NORVAX_TYPE_TARGET, "ime"}, env);
  X11WindowSystem windows(server.Display().c_str());
  WindowId w = 0;
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (auto top : windows.TopLevelWindows())
          if (windows.CaptionUtf8(top) == "ime") w = top;
        return w != 0;
      },
      10s));
  ASSERT_TRUE(windows.SetForeground(w));
  ASSERT_TRUE(WaitUntil([&] { return windows.Foreground() == w; }, 5s));
  fakes::FakeClock clock;
  std::string lastCaption;
  // The program hands each key to ibus and handles it when the answer comes: a key that
  // overtook the one before it would scramble a long text.
  const std::string text = "abcdefghijklmnopqrstuvwxyz";
  EXPECT_TRUE(WindowFinder(windows, clock, lastCaption).SendKeysText(w, text + "{~"));
  EXPECT_EQ(target.LastValuesUntil("enter", 5s)["1"], text);
  EXPECT_TRUE(engineIsAnthy()) << "the engine is anthy again";
  // Still in hiragana: a key typed outside the typing is composed, and ENTER ends it.
  EXPECT_EQ(windows.TypeText(w, "a"), 1u);
  EXPECT_TRUE(windows.PressKey(w, Key::Enter));
  EXPECT_TRUE(target.WaitForLine("1:" + text + "あ", 5s));
}

// A signal comes while an input-method tool does not answer: the wait still ends after the
// tools' time, with the tool killed, instead of lasting until the tool ends by itself.
TEST(DirectInputTest, AToolThatDoesNotAnswerIsKilledWhenASignalInterruptsTheWait) {
  testing::TempDir dir;
  testing::WriteFile(dir / "fcitx5-remote",  // says, 20 s late, that a method is active
                     "#!/bin/sh\nexec /usr/bin/python3 -c 'import sys, time; time.sleep(20); "
                     "open(sys.argv[1], \"w\"); print(2)' " +
                         (dir / "ended").string() + "\n");
  std::filesystem::permissions(dir / "fcitx5-remote", std::filesystem::perms::owner_all);
  const std::string path = std::getenv("PATH");
  setenv("PATH", (dir.Path().string() + ":" + path).c_str(), 1);
  setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);  // no ibus of this user
  unsetenv("IBUS_ADDRESS");
  struct sigaction interrupt {
  }, previous{};
  interrupt.sa_handler = [](int) {};  // without SA_RESTART
  sigaction(SIGALRM, &interrupt, &previous);
  alarm(1);  // within the tools' time
  EXPECT_FALSE(DirectInput(":0", "xkb:us::eng").Switched());
  EXPECT_FALSE(std::filesystem::exists(dir / "ended")) << "the tool was waited for to its end";
  sigaction(SIGALRM, &previous, nullptr);
  setenv("PATH", path.c_str(), 1);
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace norvax
