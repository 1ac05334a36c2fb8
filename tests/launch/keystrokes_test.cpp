#include "launch/keystrokes.h"

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_window_system.h"
#include "platform/cp932.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

struct Desktop {
  fakes::FakeWindowSystem windows;
  fakes::FakeClock clock;
  std::string lastCaption;
  WindowFinder finder{windows, clock, lastCaption};
};

TEST(SendKeysText, PlainRunsAndMarkersArriveInOrder) {
  struct Case {
    std::string text;
    std::string received;
  } cases[] = {
      {"abc{]", "abc<TAB>"},
      {"{~", "<ENTER>"},
      {"", ""},
      {"{~{]x", "<ENTER><TAB>x"},
      {"a{b}c{~", "a{b}c<ENTER>"},  // a brace that starts no marker is a plain character
      {"{", "{"},
      {"{{~", "{<ENTER>"},
      {Sjis("ﾊﾟｽ日本{]"), Sjis("ﾊﾟｽ日本") + "<TAB>"},
  };
  for (const auto& c : cases) {
    Desktop d;
    WindowId w = d.windows.Add("target");
    d.windows.foreground = w;
    EXPECT_TRUE(d.finder.SendKeysText(w, c.text)) << c.text;
    EXPECT_EQ(d.windows.received[w], c.received) << c.text;
  }
}

TEST(SendKeysText, DoubleByteCharactersEndingInABraceStayWhole) {
  // About fifty characters (本, ボ, ＋, 宮, 府 ...) have "{" as their second byte.
  int found = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    const std::string c{static_cast<char>(lead), '{'};
    if (!IsCp932LeadByte(static_cast<unsigned char>(lead)) ||
        Cp932ToUtf8(c).find("\xEF\xBF\xBD") != std::string::npos) {
      continue;
    }
    ++found;
    Desktop d;
    WindowId w = d.windows.Add("target");
    d.windows.foreground = w;
    EXPECT_TRUE(d.finder.SendKeysText(w, c + "~" + c + "]" + c + "{" + c + "{~" + c));
    EXPECT_EQ(d.windows.received[w], c + "~" + c + "]" + c + "{" + c + "<ENTER>" + c)
        << Cp932ToUtf8(c);
  }
  EXPECT_GE(found, 45);
}

TEST(SendKeysText, StopsWhenTheFocusIsTakenAway) {
  Desktop d;
  WindowId login = d.windows.Add("login");
  WindowId chat = d.windows.Add("chat");
  d.windows.foreground = login;
  d.windows.stealAfterBytes = 3;
  d.windows.stealTo = chat;
  EXPECT_FALSE(d.finder.SendKeysText(login, "secret{~more"));
  EXPECT_EQ(d.windows.received[login], "sec");
  EXPECT_EQ(d.windows.received[chat], "") << "nothing of the password reaches another window";
}

TEST(FindTargetWindow, ExactThenContainedCaptionCaseSensitive) {
  Desktop d;
  WindowId netscape = d.windows.Add("Welcome - Netscape", "MozillaWindowClass");
  WindowId lower = d.windows.Add("netscape help", "Help");
  EXPECT_EQ(d.finder.FindTargetWindow("Netscape", "", 0), netscape);
  EXPECT_EQ(d.finder.LastTargetCaption(), "Welcome - Netscape");
  WindowId exact = d.windows.Add("Netscape", "Other");
  EXPECT_EQ(d.finder.FindTargetWindow("Netscape", "", 0), exact);
  EXPECT_EQ(d.finder.FindTargetWindow("NETSCAPE", "", 0), 0u);
  (void)lower;
}

TEST(FindTargetWindow, ClassAndProcessSearches) {
  Desktop d;
  WindowId frame = d.windows.Add("Home - Browser", "IEFrame", 42);
  d.finder.FindTargetWindow("Home", "", 0);
  ASSERT_EQ(d.finder.LastTargetCaption(), "Home - Browser");
  // A class hit by the exact search leaves the caption alone in a plain search.
  EXPECT_EQ(d.finder.FindTargetWindow("", "IEFrame", 0), frame);
  // A class that no window has falls back to the process id, and finds nothing without one.
  EXPECT_EQ(d.finder.FindTargetWindow("", "CabinetWClass", 42), frame);
  EXPECT_EQ(d.finder.FindTargetWindow("", "CabinetWClass", 0), 0u);
  EXPECT_EQ(d.finder.FindTargetWindow("", "", 0), 0u);
}

TEST(ActivateWindow, RecordsCaptionAndWaitsBoundedForTheFocus) {
  Desktop d;
  WindowId frame = d.windows.Add("Home - Browser", "IEFrame");
  EXPECT_EQ(d.finder.ActivateWindow("", "IEFrame", 0), frame);
  EXPECT_EQ(d.finder.LastTargetCaption(), "") << "a class-only exact hit names no caption";
  EXPECT_EQ(d.windows.foreground, frame);
  EXPECT_EQ(d.finder.ActivateWindow("Home", "", 0), frame);
  EXPECT_EQ(d.finder.LastTargetCaption(), "Home - Browser");

  WindowId stubborn = d.windows.Add("stubborn", "", 0, false);
  EXPECT_EQ(d.finder.ActivateWindow("stubborn", "", 0), 0u);
  EXPECT_EQ(d.clock.slept, kActivateTimeoutMs) << "gives up after the bound";
  EXPECT_EQ(d.finder.LastTargetCaption(), "stubborn");
  (void)stubborn;
}

TEST(ComposeSetTexts, TabAndEnterPerTarget) {
  PreferenceList prefs;
  prefs.ResetToDefaults();
  prefs[TabAfterIdSet1] = "1";
  prefs[EnterAfterPassSet2] = "1";
  EXPECT_EQ(ComposeSetTexts(prefs, 1, "id"), (std::pair<std::string, std::string>{"id{]", "id"}));
  EXPECT_EQ(ComposeSetTexts(prefs, 2, "pw"), (std::pair<std::string, std::string>{"pw", "pw{~"}));
  prefs[MinimiseAfterEnter] = "1";
  EXPECT_TRUE(AfterTyped(prefs, 2, prefs[EnterAfterPassSet2]));
  EXPECT_FALSE(AfterTyped(prefs, 2, prefs[EnterAfterPassSet1]));
  EXPECT_FALSE(AfterTyped(prefs, 1, "1"));
}

}  // namespace
}  // namespace norvax
