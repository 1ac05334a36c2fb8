#include "core/register_rules.h"

#include <gtest/gtest.h>

#include "test_files.h"

namespace norvax {
namespace {

EntryTable TableOf(std::initializer_list<const char*> titles) {
  EntryTable table;
  for (const char* t : titles) {
    Entry e = Entry::New();
    e[Column::Title] = t;
    e[Column::Id] = std::string("id-") + t;
    e[Column::DialProfile] = std::string("p-") + t;
    table.Append(e);
  }
  return table;
}

std::vector<std::string> Titles(const WorkingTable& w) { return w.Table().List(Column::Title); }

TEST(RegisterRules, RowNumbersAreRightAlignedInThreeCharacters) {
  EXPECT_EQ(RowNumberText(0), "  1");
  EXPECT_EQ(RowNumberText(11), " 12");
  EXPECT_EQ(RowNumberText(998), "999");
  EXPECT_EQ(RowNumberText(1233), "123");  // cut to three
}

TEST(RegisterRules, MaskingByLengthAndMoment) {
  struct Case {
    std::size_t length;
    MaskMoment moment;
    std::size_t stars;
  } cases[] = {
      {0, MaskMoment::AtCreation, 0},   {3, MaskMoment::AtCreation, 3},
      {20, MaskMoment::AtCreation, 20}, {21, MaskMoment::AtCreation, 21},
      {25, MaskMoment::AtCreation, 21}, {20, MaskMoment::AfterEdit, 20},
      {25, MaskMoment::AfterEdit, 20},  {300, MaskMoment::AfterEdit, 20},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MaskedText(std::string(c.length, 'x'), c.moment), std::string(c.stars, '*'))
        << c.length;
  }
}

TEST(RegisterRules, OnlyPreferenceOneMasksInTheRegisterWindow) {
  EXPECT_EQ(RegisterDisplayText("abc", "1", MaskMoment::AtCreation), "***");
  EXPECT_EQ(RegisterDisplayText("abc", "0", MaskMoment::AtCreation), "abc");
  EXPECT_EQ(RegisterDisplayText("abc", "2", MaskMoment::AtCreation), "abc");
  EXPECT_EQ(RegisterDisplayText("abc", "01", MaskMoment::AtCreation), "abc");

  EntryTable table = TableOf({"a"});
  table.List(Column::Pass)[0] = std::string(25, 'p');
  PreferenceList prefs;
  prefs.ResetToDefaults();
  prefs[IdDisplay] = "2";
  prefs[PassDisplay] = "1";
  RegisterRow row = DisplayRow(table, 0, prefs, MaskMoment::AtCreation);
  EXPECT_EQ(row.id, "id-a");
  EXPECT_EQ(row.pass, std::string(21, '*'));
  EXPECT_EQ(DisplayRow(table, 0, prefs, MaskMoment::AfterEdit).pass, std::string(20, '*'));
}

TEST(RegisterRules, ButtonStates) {
  RegisterButtons start = ButtonsAtCreation();
  EXPECT_EQ(start, (RegisterButtons{false, false, false, false, false}));
  // A click in empty columns changes nothing, so OK stays off until an entry exists.
  EXPECT_EQ(ButtonsAfterSelect(start, 0), start);
  RegisterButtons all = ButtonsAfterSelect(start, 1);
  EXPECT_EQ(all, (RegisterButtons{true, true, true, true, true}));
  // Deleting the last row keeps OK as it was.
  EXPECT_EQ(ButtonsAfterLastDeleted(all), (RegisterButtons{false, true, false, false, false}));
  EXPECT_EQ(ButtonsAfterLastDeleted(start), start);
}

TEST(RegisterRules, DeleteSelectsTheNextRowOrTheNewLast) {
  struct Case {
    int deleteAt;
    int selected;
    std::vector<std::string> titles;
  } cases[] = {
      {0, 0, {"b", "c"}},        {1, 1, {"a", "c"}},       {2, 1, {"a", "b"}},
      {-1, -1, {"a", "b", "c"}}, {3, -1, {"a", "b", "c"}},
  };
  for (const auto& c : cases) {
    WorkingTable w(TableOf({"a", "b", "c"}));
    EXPECT_EQ(w.Delete(c.deleteAt), c.selected) << c.deleteAt;
    EXPECT_EQ(Titles(w), c.titles) << c.deleteAt;
    // All 15 columns stay the same length.
    for (std::size_t col = 0; col < kColumnCount; ++col)
      EXPECT_EQ(w.Table().List(ColumnAt(col)).size(), c.titles.size());
  }
  WorkingTable one(TableOf({"a"}));
  EXPECT_EQ(one.Delete(0), -1);
  EXPECT_EQ(one.Count(), 0u);
}

TEST(RegisterRules, MovesCarryEveryColumnAndStopAtTheEnds) {
  WorkingTable w(TableOf({"a", "b", "c"}));
  EXPECT_EQ(w.MoveUp(0), -1);
  EXPECT_EQ(w.MoveDown(2), -1);
  EXPECT_EQ(w.MoveDown(-1), -1);
  EXPECT_EQ(Titles(w), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(w.MoveUp(2), 1);
  EXPECT_EQ(Titles(w), (std::vector<std::string>{"a", "c", "b"}));
  EXPECT_EQ(w.Table().List(Column::DialProfile)[1], "p-c");
  EXPECT_EQ(w.Table().List(Column::Id)[2], "id-b");
  EXPECT_EQ(w.MoveDown(0), 1);
  EXPECT_EQ(Titles(w), (std::vector<std::string>{"c", "a", "b"}));
}

TEST(RegisterRules, LineBreaksAnywhereMakeTheTableUnstorable) {
  EntryTable table = TableOf({"a", "b", "c"});
  EXPECT_EQ(UnstorableTableMessage(table), std::nullopt);
  table.List(Column::DialProfile)[2] = "0;\r\n";
  table.List(Column::ProxyServers)[1] = "http=a\n";
  EXPECT_EQ(UnstorableTableMessage(table),
            "2" + testing::Sjis("番目の登録に改行を含む値があるため保存できません。"));
}

}  // namespace
}  // namespace norvax
