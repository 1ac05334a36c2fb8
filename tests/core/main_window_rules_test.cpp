#include "core/main_window_rules.h"
#include "launch/login_fill.h"

#include <gtest/gtest.h>

#include "fakes/fake_ports.h"
#include "launch/launch.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

TEST(MaskText, OneAsteriskPerByteUpToTwentyThenThirty) {
  struct Case {
    std::string text;
    std::size_t stars;
  } cases[] = {
      {"", 0},
      {"a", 1},
      {std::string(20, 'x'), 20},
      {std::string(21, 'x'), 30},
      {std::string(200, 'x'), 30},
      {Sjis("あいう"), 6},                       // double-byte characters count 2
      {Sjis("ｱｲｳ"), 3},                          // half-width katakana are one byte
      {Sjis("あいうえおかきくけこ"), 20},        // exactly 20 bytes
      {Sjis("あいうえおかきくけこ") + "x", 30},  // 21 bytes
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MaskText(c.text), std::string(c.stars, '*')) << c.text.size();
  }
}

EntryTable SampleTable() {
  EntryTable t;
  Entry a = Entry::New();
  a[Column::Title] = Sjis("プロバイダ");
  a[Column::Id] = "user01";
  a[Column::Pass] = std::string(21, 'p');
  t.Append(a);
  Entry b = Entry::New();
  b[Column::Title] = "B";
  b[Column::Id] = Sjis("ユーザ");
  b[Column::Pass] = "";
  t.Append(b);
  return t;
}

TEST(MainColumnTexts, MaskingFollowsPreferencesThreeAndFour) {
  auto table = SampleTable();
  struct Case {
    const char* idPref;
    const char* passPref;
    std::vector<std::string> ids;
    std::vector<std::string> passes;
  } cases[] = {
      {"0", "0", {"user01", Sjis("ユーザ")}, {std::string(21, 'p'), ""}},
      {"1", "1", {"******", "******"}, {std::string(30, '*'), ""}},
      // "2" masks here too; only the register window shows IDs in clear then.
      {"2", "0", {"******", "******"}, {std::string(21, 'p'), ""}},
      {"0", "2", {"user01", Sjis("ユーザ")}, {std::string(30, '*'), ""}},
  };
  for (const auto& c : cases) {
    PreferenceList prefs;
    prefs.ResetToDefaults();
    prefs[IdDisplay] = c.idPref;
    prefs[PassDisplay] = c.passPref;
    auto cols = MainColumnTexts(table, prefs);
    EXPECT_EQ(cols.titles, table.List(Column::Title));
    EXPECT_EQ(cols.ids, c.ids) << c.idPref;
    EXPECT_EQ(cols.passes, c.passes) << c.passPref;
  }
}

TEST(MainColumnTexts, ShortColumnStillGivesOneRowPerEntry) {
  auto table = SampleTable();
  table.List(Column::Pass).pop_back();
  PreferenceList prefs;
  prefs.ResetToDefaults();
  auto cols = MainColumnTexts(table, prefs);
  EXPECT_EQ(cols.passes.size(), 2u);
  EXPECT_EQ(cols.passes[1], "");
}

TEST(ActionForClick, SingleOrDoubleByPreferences28And29) {
  struct Case {
    const char* titleSingle;
    const char* idPassSingle;
    MainColumn column;
    ClickKind kind;
    EntryAction expected;
  } cases[] = {
      {"0", "0", MainColumn::Title, ClickKind::Single, EntryAction::None},
      {"0", "0", MainColumn::Title, ClickKind::Double, EntryAction::Launch},
      {"1", "0", MainColumn::Title, ClickKind::Single, EntryAction::Launch},
      {"1", "0", MainColumn::Title, ClickKind::Double, EntryAction::None},
      {"0", "0", MainColumn::Id, ClickKind::Double, EntryAction::FillId},
      {"0", "0", MainColumn::Pass, ClickKind::Single, EntryAction::None},
      {"0", "1", MainColumn::Id, ClickKind::Single, EntryAction::FillId},
      {"0", "1", MainColumn::Id, ClickKind::Double, EntryAction::None},
      {"0", "1", MainColumn::Pass, ClickKind::Single, EntryAction::FillPass},
      {"0", "1", MainColumn::Pass, ClickKind::Double, EntryAction::None},
      {"1", "0", MainColumn::Pass, ClickKind::Double, EntryAction::FillPass},
      // Only exactly "1" switches to single clicks.
      {"2", "x", MainColumn::Title, ClickKind::Double, EntryAction::Launch},
  };
  for (const auto& c : cases) {
    PreferenceList prefs;
    prefs.ResetToDefaults();
    prefs[TitleSingleClick] = c.titleSingle;
    prefs[IdPassSingleClick] = c.idPassSingle;
    EXPECT_EQ(ActionForClick(prefs, c.column, c.kind), c.expected)
        << c.titleSingle << c.idPassSingle << static_cast<int>(c.column)
        << static_cast<int>(c.kind);
  }
}

TEST(DialupCaptionFor, Ie4KindsUseTheDialUpNetworkingCaption) {
  EXPECT_EQ(DialupCaptionFor("IE4.0"), Sjis("ダイヤルアップ接続"));
  EXPECT_EQ(DialupCaptionFor("IE4&WIN98"), Sjis("ダイヤルアップ接続"));
  for (const char* other : {"IE3.X", "ie4.0", "NS4.0", "", "IE4.0 "}) {
    EXPECT_EQ(DialupCaptionFor(other), Sjis("接続")) << other;
  }
}

struct Launching : ::testing::Test {
  fakes::FakePorts fake;
  ProgramState state;
  void SetUp() override {
    state.table = SampleTable();
    state.prefs.ResetToDefaults();
  }
};

TEST_F(Launching, ARowOutsideTheTableDoesNothing) {
  state.main.currentEntry = 1;
  for (int row : {-1, 2, 999}) {
    DoEntryAction(state, fake.ports, EntryAction::Launch, row);
    DoEntryAction(state, fake.ports, EntryAction::FillId, row);
  }
  EXPECT_EQ(state.main.currentEntry, 1);
  EXPECT_TRUE(fake.dialogs.errors.empty());
}

TEST_F(Launching, ALaunchMakesTheRowCurrentUnlessRefused) {
  DoEntryAction(state, fake.ports, EntryAction::Launch, 1);
  EXPECT_EQ(state.main.currentEntry, 1);
  state.main.watchThreadRunning = true;
  DoEntryAction(state, fake.ports, EntryAction::Launch, 0);
  EXPECT_EQ(state.main.currentEntry, 1) << "a relaunch still launches the entry under way";
  EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{LaunchBusyMessage()});
}

TEST_F(Launching, RelaunchWaitsForTheWorkerAtMostTenMinutes) {
  state.session.state = kSessionRelaunchRequested;
  state.session.entry = 0;
  state.main.watchThreadRunning = true;
  int rounds = 0;
  Relaunch(state, fake.ports, [&] { ++rounds; });
  EXPECT_EQ(rounds, 1200);
  EXPECT_EQ(fake.clock.slept, 600000u);
  // Still running after the wait: the launch is tried anyway and refused by the guard.
  EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{LaunchBusyMessage()});
}

TEST_F(Launching, RelaunchGoesAheadAsSoonAsTheWorkerEnds) {
  state.session.state = kSessionRelaunchRequested;
  state.session.entry = 0;
  state.main.watchThreadRunning = true;
  int rounds = 0;
  Relaunch(state, fake.ports, [&] {
    if (++rounds == 3) {
      state.main.watchThreadRunning = false;
      DoEntryAction(state, fake.ports, EntryAction::Launch, 1);  // a double click meanwhile
    }
  });
  EXPECT_EQ(rounds, 3);
  EXPECT_EQ(fake.clock.slept, 1000u);
  EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{LaunchBusyMessage()});
  EXPECT_EQ(state.main.currentEntry, 0);
}

TEST(WaitCountdownText, CountsDownFromThirty) {
  EXPECT_EQ(WaitCountdownText(1), Sjis("ﾊﾟｽﾜ-ﾄﾞのｾｯﾄ待機  あと  30  SEC"));
  EXPECT_EQ(WaitCountdownText(3), Sjis("ﾊﾟｽﾜ-ﾄﾞのｾｯﾄ待機  あと  29  SEC"));
  EXPECT_EQ(WaitCountdownText(60), Sjis("ﾊﾟｽﾜ-ﾄﾞのｾｯﾄ待機  あと  1  SEC"));
}

}  // namespace
}  // namespace norvax
