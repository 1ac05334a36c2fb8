#include "dialup/dial_profile.h"

#include <gtest/gtest.h>

#include "core/entry_table.h"
#include "fakes/fake_remote_access.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

TEST(DialProfile, SplitAndJoin) {
  EXPECT_EQ(SplitProfile("a;;b;c"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(JoinProfile({"a", "", "b"}), "a;;b;");
  EXPECT_EQ(JoinProfile(SplitProfile(kDefaultDialProfile)), kDefaultDialProfile);
}

TEST(DialProfile, Parse) {
  auto p = ParseProfile("1;10;30;0311223344;0;1;600;2000;60;10;3000;20;11;181;12;182;13;240;1;");
  EXPECT_EQ(std::string({p.redial, p.tone, p.log, p.flatRate}),
            "101"
            "1");
  EXPECT_EQ(p.phone, "P0311223344");
  std::vector<int32_t> numbers = {p.maximum,     p.interval,   p.baseMinutes, p.baseFee,
                                  p.unitSeconds, p.unitFee,    p.cap,         p.startDay,
                                  p.dayFee,      p.daySeconds, p.holidayFee,  p.holidaySeconds,
                                  p.lateFee,     p.lateSeconds};
  EXPECT_EQ(numbers,
            (std::vector<int32_t>{10, 30, 600, 2000, 60, 10, 3000, 20, 11, 181, 12, 182, 13, 240}));
  EXPECT_EQ(ParseProfile(kDefaultDialProfile).phone, " ");

  for (const char* bad : {"0;20;1; ;1;0;0;0;0;0;0;1;10;180;10;180;10;240;0",  // no final ";"
                          "0;20;1; ;1;0;0;0;0;0;0;1;10;180;10;1x0;10;240;0;", "",
                          "0;;1; ;1;0;0;0;0;0;0;1;10;180;10;180;10;240;0;"}) {
    EXPECT_THROW(ParseProfile(bad), ProfileError) << bad;
  }
}

ConnectionSettings Defaults() {
  fakes::FakeRemoteAccess access;
  return LoadConnectionSettings(kDefaultDialProfile, "", access);
}

TEST(DialProfile, LoadShowsThePhonebookNumberForANewEntry) {
  fakes::FakeRemoteAccess access;
  access.phonebook = {{"Net", "0311112222"}};
  auto s = LoadConnectionSettings(kDefaultDialProfile, "Net", access);
  EXPECT_EQ(s.edit[3], "0311112222");
  EXPECT_EQ(LoadConnectionSettings(kDefaultDialProfile, "Unknown", access).edit[3], " ");
  EXPECT_EQ(LoadConnectionSettings(kDefaultDialProfile, "", access).edit[3], " ");
  EXPECT_FALSE(s.checkBox1);
  EXPECT_TRUE(s.radioButton1);
  EXPECT_FALSE(s.radioButton2);
  EXPECT_EQ(EnablingOf(s), (ConnectionSettingsEnabling{false, false}));

  // Confirmed unchanged, the profile stays the same but for the phonebook's number.
  std::string text(kDefaultDialProfile);
  EXPECT_FALSE(ApplyConnectionSettings(s, text));
  EXPECT_EQ(text, "0;20;1;0311112222;1;0;0;0;0;0;0;1;10;180;10;180;10;240;0;");
  text = kDefaultDialProfile;
  EXPECT_FALSE(ApplyConnectionSettings(Defaults(), text));
  EXPECT_EQ(text, kDefaultDialProfile);
}

TEST(DialProfile, Validation) {
  const std::string r1 = Sjis("はエラーです。  1 ～ 100 を入力して下さい");
  const std::string t = Sjis("はエラーです。  0 ～ 99999 を入力して下さい");
  const std::string t6 = Sjis("従量分を入力するか又は上限を０にして下さい");
  const std::string t7 = Sjis("従量分は両方入力するか又は０にして下さい");
  const std::string t9 = Sjis("はエラーです。  1 ～ 9999 を入力して下さい");
  struct Case {
    std::vector<std::pair<int, std::string>> edits;
    std::optional<SettingsFailure> failure;
  } cases[] = {
      {{{1, "0"}}, SettingsFailure{1, "0" + r1}},
      {{{1, "101"}}, SettingsFailure{1, "101" + r1}},
      {{{1, ""}}, SettingsFailure{1, r1}},
      {{{1, "100"}}, std::nullopt},
      {{{2, "1000"}},
       SettingsFailure{2, "1000" + Sjis("はエラーです。  1 ～ 999 を入力して下さい")}},
      {{{1, "0"}, {4, "x"}}, SettingsFailure{1, "0" + r1}},  // redial first
      {{{3, "03\r\n1"}, {4, "x"}}, SettingsFailure{3, LineBreakMessage("電話番号")}},
      {{{3, "03;1"}, {4, "x"}}, SettingsFailure{3, FieldSeparatorMessage("電話番号")}},
      {{{5, "100000"}}, SettingsFailure{5, "100000" + t}},
      {{{8, "500"}, {6, "0"}}, SettingsFailure{6, t6}},
      {{{8, "500"}, {6, "60"}, {7, "10"}}, std::nullopt},
      {{{6, "60"}, {7, "0"}}, SettingsFailure{6, t7}},
      {{{9, "0"}}, SettingsFailure{9, "0" + Sjis("はエラーです。  1 ～ 31 を入力して下さい")}},
      {{{9, "31"}}, std::nullopt},
      {{{11, "0"}}, SettingsFailure{11, "0" + t9}},
      {{{15, "10000"}}, SettingsFailure{15, "10000" + t9}},
  };
  for (const auto& c : cases) {
    auto s = Defaults();
    for (auto& [edit, text] : c.edits) s.edit[edit] = text;
    std::string profile(kDefaultDialProfile);
    EXPECT_EQ(ApplyConnectionSettings(s, profile), c.failure) << c.edits[0].first;
    if (c.failure) {
      EXPECT_EQ(profile, kDefaultDialProfile);
    }
  }
}

TEST(DialProfile, UncheckingAFailingGroupChecksItAgain) {
  auto s = Defaults();
  s.checkBox2 = true;
  s.edit[11] = "0";
  s.checkBox2 = false;
  auto failure = CheckBox2Changed(s);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->edit, 11);
  EXPECT_TRUE(s.checkBox2);
  EXPECT_TRUE(EnablingOf(s).charges);

  s.edit[11] = "180";
  s.checkBox2 = false;
  EXPECT_FALSE(CheckBox2Changed(s));
  EXPECT_FALSE(s.checkBox2);

  s.checkBox1 = false;
  s.edit[2] = "";
  EXPECT_TRUE(CheckBox1Changed(s));
  EXPECT_TRUE(s.checkBox1);
  s.checkBox1 = true;
  EXPECT_FALSE(CheckBox1Changed(s));  // checking never fails
}

TEST(DialProfile, ApplyWritesEveryField) {
  auto s = Defaults();
  s.checkBox1 = true;
  s.checkBox2 = true;
  s.checkBox3 = true;
  s.radioButton1 = false;
  s.radioButton2 = true;
  s.edit[3] = "";
  s.edit[6] = "060";
  s.edit[7] = "10";
  std::string text(kDefaultDialProfile);
  EXPECT_FALSE(ApplyConnectionSettings(s, text));
  EXPECT_EQ(text, "1;20;1; ;0;1;0;0;060;10;0;1;10;180;10;180;10;240;1;");
}

}  // namespace
}  // namespace norvax
