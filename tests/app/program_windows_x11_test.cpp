// The program on a private X server under the window managers it meets: every window opened
// over a modal window (over the main window hidden for the log viewer, too) paints and
// answers a click and Esc at once, and the main window keeps its native window while it stops
// and starts staying on top. Driven like a user: XTest clicks and keys.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <utility>

#include "core/settings.h"
#include "platform/store/ini_file.h"
#include "platform/x11/x11_window_system.h"
#include "test_files.h"
#include "x11_env.h"

// After the test framework: Xlib's macros clash with its names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#undef Bool
#undef None

namespace norvax {
namespace {

using namespace std::chrono_literals;
using testing::WaitUntil;
using testing::WindowManager;

class ProgramWindows : public ::testing::TestWithParam<WindowManager> {
 protected:
  void SetUp() override {
    for (const char* file : {NORVAX_PROGRAM, NORVAX_HELP_FILE}) {
      std::filesystem::copy(file, dir_.Path());
    }
    std::filesystem::copy(testing::SamplePath("NORVA.LOG"), dir_.Path());
    IniFile settings((dir_ / "norvax.ini").string());
    PreferenceList prefs;
    prefs.ResetToDefaults();
    prefs[AlwaysOnTop] = "1";
    SaveEntryTable(settings, EntryTable(), prefs);
    server_ = std::make_unique<testing::XServer>(GetParam());
    display_ = XOpenDisplay(server_->Display().c_str());
    windows_ = std::make_unique<X11WindowSystem>(server_->Display().c_str());
    program_ = std::make_unique<testing::ChildProcess>(
        std::vector<std::string>{(dir_ / "norvax").string()}, server_->Env());
  }
  void TearDown() override {
    program_.reset();
    windows_.reset();
    if (display_) XCloseDisplay(display_);
  }

  // The shown window of that title (UTF-8; a help window's goes on with " - " and its page),
  // once it has painted; 0 when none does in time.
  Window Opened(const std::string& title) {
    Window found = 0;
    WaitUntil(
        [&] {
          for (auto w : windows_->TopLevelWindows()) {
            const std::string caption = windows_->CaptionUtf8(w);
            if ((caption == title || caption.starts_with(title + " - ")) && Viewable(w) &&
                Painted(w)) {
              found = static_cast<Window>(w);
            }
          }
          return found != 0;
        },
        10s);
    return found;
  }

  bool Viewable(Window w) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display_, w, &attributes) && attributes.map_state == IsViewable;
  }

  // The window's pixels as they are on the screen.
  std::vector<unsigned long> Pixels(Window w) {
    XWindowAttributes a{};
    std::vector<unsigned long> pixels;
    if (!XGetWindowAttributes(display_, w, &a) || a.map_state != IsViewable) return pixels;
    XImage* image = XGetImage(display_, w, 0, 0, static_cast<unsigned>(a.width),
                              static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
    if (!image) return pixels;
    for (int y = 0; y < a.height; y += 2) {
      for (int x = 0; x < a.width; x += 2) pixels.push_back(XGetPixel(image, x, y));
    }
    XDestroyImage(image);
    return pixels;
  }

  // Drawn by the program: an unpainted window is one colour, the window manager's backdrop.
  bool Painted(Window w) {
    auto pixels = Pixels(w);
    return std::set<unsigned long>(pixels.begin(), pixels.end()).size() > 2;
  }

  int Height(Window w) {
    XWindowAttributes a{};
    XGetWindowAttributes(display_, w, &a);
    return a.height;
  }

  // Points at (x, y) of w, lets the window settle under the pointer and clicks there;
  // returns the window's pixels before the click. A window manager may hold a click back
  // with the pointer grabbed (openbox does, to focus the window first) while keys sent
  // afterwards reach the program at once, before the click: so the click has reached the
  // program once the pointer can be had again, unless the click opens a menu, which keeps it.
  std::vector<unsigned long> Click(Window w, int x, int y, bool opensMenu = false) {
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display_, w, DefaultRootWindow(display_), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(display_, -1, rootX, rootY, CurrentTime);
    XFlush(display_);
    auto before = Pixels(w);
    WaitUntil(
        [&] {
          auto now = Pixels(w);
          return std::exchange(before, now) == now;
        },
        5s);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    XFlush(display_);
    if (!opensMenu) {
      EXPECT_TRUE(WaitUntil([&] { return PointerFree(); }, 5s));
    }
    return before;
  }

  bool PointerFree() {
    const bool free = XGrabPointer(display_, DefaultRootWindow(display_), False, 0, GrabModeAsync,
                                   GrabModeAsync, 0, 0, CurrentTime) == GrabSuccess;
    if (free) XUngrabPointer(display_, CurrentTime);
    XSync(display_, False);
    return free;
  }

  // A click that shows (a row or field taking the selection, a menu opening).
  bool ClickShows(Window w, int x, int y, bool opensMenu = false) {
    const auto before = Click(w, x, y, opensMenu);
    return WaitUntil([&] { return Pixels(w) != before; }, 5s);
  }

  // Presses the keys in w, one after another, holding modifier down meanwhile; a failure,
  // naming the window that has it, when w does not get the keyboard focus.
  ::testing::AssertionResult Keys(Window w, std::initializer_list<KeySym> keys,
                                  KeySym modifier = 0) {
    if (!WaitUntil([&] { return Focus() == w; }, 5s)) {
      return ::testing::AssertionFailure() << "the focus is on \"" << windows_->CaptionUtf8(Focus())
                                           << "\", not on \"" << windows_->CaptionUtf8(w) << "\"";
    }
    const KeyCode held = modifier ? XKeysymToKeycode(display_, modifier) : 0;
    if (held) XTestFakeKeyEvent(display_, held, True, CurrentTime);
    for (KeySym key : keys) {
      const KeyCode code = XKeysymToKeycode(display_, key);
      XTestFakeKeyEvent(display_, code, True, CurrentTime);
      XTestFakeKeyEvent(display_, code, False, CurrentTime);
    }
    if (held) XTestFakeKeyEvent(display_, held, False, CurrentTime);
    XFlush(display_);
    return ::testing::AssertionSuccess();
  }

  // The window holds the keyboard focus and goes on Esc.
  ::testing::AssertionResult ClosesOnEscape(Window w) {
    auto pressed = Keys(w, {XK_Escape});
    if (!pressed || WaitUntil([&] { return !Viewable(w); }, 5s)) return pressed;
    return ::testing::AssertionFailure()
           << "\"" << windows_->CaptionUtf8(w) << "\" stays after Esc, the focus on \""
           << windows_->CaptionUtf8(Focus()) << "\"";
  }

  Window Focus() {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    return focus;
  }

  // Opens the menu of the main window's menu bar at x and takes its item at the given place.
  bool Menu(Window main, int x, int item) {
    if (!ClickShows(main, x, 7, /*opensMenu=*/true)) return false;
    for (int i = 0; i < item; ++i) Keys(main, {XK_Down});
    return Keys(main, {XK_Return});
  }

  // The window manager's state of the window follows the stay-on-top setting, where the
  // window manager has that state (matchbox has not).
  bool OnTop(Window w, bool on) {
    const Atom above = Intern("_NET_WM_STATE_ABOVE");
    if (!Atoms(DefaultRootWindow(display_), Intern("_NET_SUPPORTED")).contains(above)) return true;
    return WaitUntil([&] { return Atoms(w, Intern("_NET_WM_STATE")).contains(above) == on; }, 5s);
  }

  Atom Intern(const char* name) { return XInternAtom(display_, name, False); }

  std::set<Atom> Atoms(Window w, Atom property) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::set<Atom> atoms;
    if (XGetWindowProperty(display_, w, property, 0, 1024, False, XA_ATOM, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
      const auto* values = reinterpret_cast<const Atom*>(data);
      atoms.insert(values, values + count);
      XFree(data);
    }
    return atoms;
  }

  testing::TempDir dir_;
  std::unique_ptr<testing::XServer> server_;
  Display* display_ = nullptr;
  std::unique_ptr<X11WindowSystem> windows_;
  std::unique_ptr<testing::ChildProcess> program_;
};

// Menu bar titles of the main window, and the viewer's row of controls by its design-time
// places counted from the window's bottom (380 high at design time, the row at 344).
constexpr int kSettingsMenu = 22, kLogMenu = 55;
int RowY(int height) { return height - 380 + 344 + 12; }
constexpr int kYear = 30, kMove = 279, kTotals = 351, kCsv = 520, kHelp = 603;

TEST_P(ProgramWindows, WindowsOverModalWindowsPaintAndAnswerAtOnce) {
  const Window main = Opened("NORVAX");
  ASSERT_NE(main, 0u);
  EXPECT_TRUE(OnTop(main, true));

  // The log viewer, over the main window it hides, and the windows it opens.
  ASSERT_TRUE(Menu(main, kLogMenu, 1));
  const Window viewer = Opened("ログ");
  ASSERT_NE(viewer, 0u);
  EXPECT_TRUE(ClickShows(viewer, 100, 45));
  Click(viewer, kTotals, RowY(Height(viewer)));
  const Window totals = Opened("月間合計");
  ASSERT_NE(totals, 0u);
  EXPECT_TRUE(ClickShows(totals, 100, 45));
  EXPECT_TRUE(ClosesOnEscape(totals));
  Click(viewer, kCsv, RowY(Height(viewer)));
  EXPECT_TRUE(ClosesOnEscape(Opened("CSV出力")));
  Click(viewer, kHelp, RowY(Height(viewer)));
  EXPECT_TRUE(ClosesOnEscape(Opened("NORVAX ヘルプ")));
  ASSERT_TRUE(ClickShows(viewer, kYear, RowY(Height(viewer))));
  ASSERT_TRUE(Keys(viewer, {XK_a}, XK_Control_L));
  ASSERT_TRUE(Keys(viewer, {XK_2, XK_1, XK_0, XK_0}));
  Click(viewer, kMove, RowY(Height(viewer)));  // a cut-off in the future: an error box
  EXPECT_TRUE(ClosesOnEscape(Opened("ｴﾗｰ")));
  EXPECT_TRUE(ClosesOnEscape(viewer));
  EXPECT_EQ(Opened("NORVAX"), main);
  EXPECT_TRUE(OnTop(main, true));

  // The register window, the entry editor over it and the editor's two windows; the main
  // window stays on top again afterwards, in the same native window.
  ASSERT_TRUE(Menu(main, kSettingsMenu, 1));
  const Window entries = Opened("登録");
  ASSERT_NE(entries, 0u);
  EXPECT_TRUE(OnTop(main, false)) << "not on top while the register window is open";
  Click(entries, 44, 308);  // 追加
  const Window editor = Opened("追加");
  ASSERT_NE(editor, 0u);
  EXPECT_TRUE(ClickShows(editor, 246, 326));  // ﾌﾟﾛｷｼをｾｯﾄする, which enables its button
  Click(editor, 309, 354);
  EXPECT_TRUE(ClosesOnEscape(Opened("ﾌﾟﾛｷｼの設定")));
  Click(editor, 101, 354);
  EXPECT_TRUE(ClosesOnEscape(Opened("接続先設定")));
  EXPECT_TRUE(ClosesOnEscape(editor));
  EXPECT_TRUE(ClosesOnEscape(entries));
  EXPECT_TRUE(OnTop(main, true));
  EXPECT_EQ(Opened("NORVAX"), main);

  // The password dialog over the preferences window: its password page, its 設定 button.
  ASSERT_TRUE(Menu(main, kSettingsMenu, 2));
  const Window preferences = Opened("環境設定");
  ASSERT_NE(preferences, 0u);
  Click(preferences, 95, 10);
  Click(preferences, 74, 70);
  EXPECT_TRUE(ClosesOnEscape(Opened("登録ｳｲﾝﾄﾞｳのﾊﾟｽﾜｰﾄﾞ 設定")));
  EXPECT_TRUE(ClosesOnEscape(preferences));
}

INSTANTIATE_TEST_SUITE_P(WindowManager, ProgramWindows,
                         ::testing::Values(WindowManager::kMatchbox, WindowManager::kOpenbox),
                         [](const auto& info) {
                           return info.param == WindowManager::kMatchbox ? "matchbox" : "openbox";
                         });

}  // namespace
}  // namespace norvax
