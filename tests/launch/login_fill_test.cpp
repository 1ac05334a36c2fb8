#include "launch/login_fill.h"

#include <gtest/gtest.h>

#include "fakes/fake_ports.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

struct FillWorld {
  fakes::FakePorts fake;
  ProgramState state;
  FillWorld() { state.prefs.ResetToDefaults(); }

  WindowId Window(const std::string& caption, const std::string& className = "") {
    return fake.windows.Add(caption, className);
  }
  FillResult Click(FillMode mode, const std::string& text, const std::string& set1,
                   const std::string& set2 = "", const std::string& connection = "Provider") {
    return FillLoginDialog(state, fake.ports, DialupCaptionFor(set1), text, set1, set2, connection,
                           mode);
  }
};

struct Fill : ::testing::Test, FillWorld {};

TEST_F(Fill, BothDialogsOpenTheIeOneIsFilled) {
  WindowId ns = Window(Sjis("ﾕｰｻﾞ名とﾊﾟｽﾜｰﾄﾞの入力"));
  WindowId ie = Window(Sjis("ﾈｯﾄﾜｰｸ ﾊﾟｽﾜｰﾄﾞの入力"));
  EXPECT_EQ(Click(FillMode::Id, "user", "IE3.X OR NETSCAPE"), FillResult::Typed);
  EXPECT_EQ(fake.windows.received[ie], "user");
  EXPECT_EQ(fake.windows.received[ns], "");
  EXPECT_EQ(state.lastTargetCaption, Sjis("ﾈｯﾄﾜｰｸ ﾊﾟｽﾜｰﾄﾞの入力"));
}

TEST_F(Fill, CandidatesAreTriedInTheirOrder) {
  // Each case leaves only the windows that must not be chosen before the expected one.
  struct Case {
    std::string set1, set2, set2IsClass;
    std::vector<std::pair<std::string, std::string>> windows;  // caption, class; last is hit
  } cases[] = {
      {"IE4&WIN98",
       "",
       "0",
       {{"x", "IEFrame"}, {"Explorer", "CabinetWClass"}}},  // never IEFrame for IE4&WIN98
      {"IE4&WIN98",
       "",
       "0",
       {{"Explorer", "CabinetWClass"}, {Sjis("ネットワーク パスワード"), ""}}},
      {"Login - Chat", "", "0", {{"x", "IEFrame"}, {"My Login - Chat window", ""}}},
      {"NS4.X", "Other Login", "0", {{"Netscape", ""}, {"Other Login", ""}}},
      {"NS4.X", "ChatClass", "1", {{"ChatClass", ""}, {"chat", "ChatClass"}}},
      {"IE3.X", "", "0", {{"Home - Browser", "IEFrame"}, {Sjis("Provider への接続"), ""}}},
      {"IE3.X", "", "0", {{"Home - Browser", "IEFrame"}, {Sjis("ﾕｰｻﾞｰ ﾛｸﾞｵﾝ"), ""}}},
      {"IE4.0", "", "0", {{Sjis("接続"), ""}, {Sjis("ダイヤルアップ接続"), ""}}},
  };
  for (const auto& c : cases) {
    FillWorld t;
    t.state.prefs[Set2IsClass] = c.set2IsClass;
    std::vector<WindowId> ids;
    for (const auto& [caption, className] : c.windows) ids.push_back(t.Window(caption, className));
    EXPECT_EQ(t.Click(FillMode::Password, "pw", c.set1, c.set2), FillResult::Typed) << c.set1;
    EXPECT_EQ(t.fake.windows.received[ids.back()], "pw") << c.set1 << " / " << c.set2;
    for (std::size_t i = 0; i + 1 < ids.size(); ++i) {
      EXPECT_EQ(t.fake.windows.received[ids[i]], "") << c.set1 << " / " << c.set2;
    }
  }
}

TEST_F(Fill, FreeTextKindTriesNoBrowserFrame) {
  Window("Home", "IEFrame");
  EXPECT_EQ(Click(FillMode::Id, "user", "Chat", "", ""), FillResult::NotFound);
}

TEST_F(Fill, TabEnterClipboardAndMinimisePerTarget) {
  state.prefs[TabAfterIdSet1] = "1";
  state.prefs[EnterAfterPassSet2] = "1";
  state.prefs[MinimiseAfterEnter] = "1";
  state.prefs[CopyToClipboard] = "1";
  WindowId set1 = Window(Sjis("ﾈｯﾄﾜｰｸ ﾊﾟｽﾜｰﾄﾞの入力"));
  Click(FillMode::Id, "user", "IE4.0", "Chat");
  EXPECT_EQ(fake.windows.received[set1], "user<TAB>");
  EXPECT_EQ(fake.program.clipboard, "user");
  Click(FillMode::Password, "pw", "IE4.0", "Chat");
  EXPECT_EQ(fake.windows.received[set1], "user<TAB>pw") << "no ENTER for a Set1 target";
  EXPECT_FALSE(fake.program.minimised) << "preference 19 decides for a Set1 target";

  fake.windows.Remove(set1);
  WindowId set2 = Window("Chat");
  Click(FillMode::Password, "pw", "IE4.0", "Chat");
  EXPECT_EQ(fake.windows.received[set2], "pw<ENTER>");
  EXPECT_TRUE(fake.program.minimised);
  Click(FillMode::Id, "id2", "IE4.0", "Chat");
  EXPECT_EQ(fake.windows.received[set2], "pw<ENTER>id2") << "no TAB for a Set2 target";

  fake.program.clipboard.clear();
  fake.windows.Remove(set2);
  EXPECT_EQ(Click(FillMode::Id, "nobody", "IE4.0", "Chat", ""), FillResult::NotFound);
  EXPECT_EQ(fake.program.clipboard, "nobody") << "copied even when no window is found";
}

TEST_F(Fill, ConnectDialogGetsPasswordAndEnterAfterTheDelay) {
  EXPECT_EQ(FillLoginDialog(state, fake.ports, Sjis("接続"), "pw", "", "", "Provider",
                            FillMode::ConnectDialog),
            FillResult::NotFound);
  WindowId dialog = Window(Sjis("接続"));
  state.prefs[EnterAfterPassSet1] = "0";
  EXPECT_EQ(FillLoginDialog(state, fake.ports, Sjis("接続"), "pw", "", "", "Provider",
                            FillMode::ConnectDialog),
            FillResult::Typed);
  EXPECT_EQ(fake.windows.received[dialog], "pw<ENTER>");
  EXPECT_EQ(fake.clock.slept, 0u);
  EXPECT_TRUE(fake.program.clipboard.empty());

  WindowId login = Window("Login");
  EXPECT_EQ(
      FillLoginDialog(state, fake.ports, "Login", "", "", "3000", "/n", FillMode::ConnectDialog),
      FillResult::Typed);
  EXPECT_EQ(fake.windows.received[login], "<ENTER>");
  EXPECT_EQ(fake.clock.slept, 3000u);
  FillLoginDialog(state, fake.ports, "Login", "", "", "soon", "/n", FillMode::ConnectDialog);
  EXPECT_EQ(fake.clock.slept, 3000u) << "a delay that is no number means none";
  EXPECT_EQ(FillLoginDialog(state, fake.ports, "", "pw", "", "", "", FillMode::ConnectDialog),
            FillResult::NotFound);
}

TEST_F(Fill, ATextTheDesktopCannotTypeWholeIsNotTypedAtAll) {
  WindowId login = Window(Sjis("ﾈｯﾄﾜｰｸ ﾊﾟｽﾜｰﾄﾞの入力"));
  fake.windows.untypable = "xz";
  EXPECT_EQ(Click(FillMode::Password, "zebra-x", "IE3.X"), FillResult::Untypable);
  EXPECT_EQ(fake.windows.received[login], "");
  EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{UntypableMessage("zx")});
  // A desktop that cannot type at all says why, whatever the text.
  fake.dialogs.errors.clear();
  fake.windows.cannotType = "NORVAX  no keyboard here";
  EXPECT_EQ(Click(FillMode::Password, "abc", "IE3.X"), FillResult::Untypable);
  EXPECT_EQ(fake.windows.received[login], "");
  EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{fake.windows.cannotType});
}

TEST_F(Fill, AClickOnADesktopWhoseWindowsCannotBeReachedSaysWhy) {
  fake.windows.problem = "no list";
  EXPECT_EQ(Click(FillMode::Id, "user", "IE3.X"), FillResult::NotFound);
  WindowId login = Window(Sjis("ﾈｯﾄﾜｰｸ ﾊﾟｽﾜｰﾄﾞの入力"));
  fake.windows.stealAfterBytes = 1;  // to no window
  EXPECT_EQ(Click(FillMode::Id, "user", "IE3.X"), FillResult::Stopped);
  EXPECT_EQ(fake.windows.received[login], "u");
  EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>(2, UnreachableMessage("no list")));
}

// The desktop can type into the focused window only: nothing without the user's OK.
TEST_F(Fill, WithoutAWindowListTheFocusedWindowIsTypedIntoOnlyAfterTheUsersOk) {
  state.prefs[TabAfterIdSet1] = "1";
  fake.windows.problem = "no list";
  fake.windows.focusedWindow = fake.windows.foreground = 7;
  fake.dialogs.confirmAnswer = false;
  EXPECT_EQ(Click(FillMode::Id, "user", "IE3.X"), FillResult::NotFound);
  EXPECT_EQ(fake.windows.received[7], "");
  EXPECT_FALSE(fake.program.minimised);
  fake.dialogs.confirmAnswer = true;
  EXPECT_EQ(Click(FillMode::Id, "user", "IE3.X"), FillResult::Typed);
  EXPECT_EQ(fake.windows.received[7], "user<TAB>");
  EXPECT_TRUE(fake.program.minimised);
  EXPECT_EQ(fake.dialogs.confirmations,
            std::vector<std::string>(2, FocusTypingQuestion("no list")));
  EXPECT_TRUE(fake.dialogs.errors.empty());
}

TEST_F(Fill, TypingThatStopsIsReportedAndEndsTheFill) {
  state.prefs[EnterAfterPassSet1] = "1";
  state.prefs[MinimiseAfterEnter] = "1";
  WindowId editor = Window("Editor");
  WindowId dialup = Window(Sjis("接続"));  // a later candidate
  WindowId login = Window(Sjis("ﾈｯﾄﾜｰｸ ﾊﾟｽﾜｰﾄﾞの入力"));
  fake.windows.stealAfterBytes = 2;
  fake.windows.stealTo = editor;
  EXPECT_EQ(Click(FillMode::Password, "secret", "IE3.X"), FillResult::Stopped);
  EXPECT_EQ(fake.windows.received[login], "se");
  EXPECT_EQ(fake.windows.received[dialup], "") << "no other window is tried";
  EXPECT_EQ(fake.windows.received[editor], "");
  EXPECT_FALSE(fake.program.minimised);
  EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{TypingStoppedMessage()});

  // The connect dialog's fill leaves the report to the main timer.
  fake.dialogs.errors.clear();
  fake.windows.stealAfterBytes = 1;
  EXPECT_EQ(FillLoginDialog(state, fake.ports, Sjis("接続"), "pw", "", "", "Provider",
                            FillMode::ConnectDialog),
            FillResult::Stopped);
  EXPECT_TRUE(fake.dialogs.errors.empty());
}

}  // namespace
}  // namespace norvax
