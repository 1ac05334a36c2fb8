#include "core/preferences.h"

#include <gtest/gtest.h>

#include "core/scrambler.h"
#include "fakes/memory_profile_file.h"

namespace norvax {
namespace {

TEST(Preferences, DefaultsHaveTheDocumentedValues) {
  PreferenceList prefs;
  prefs.ResetToDefaults();
  ASSERT_EQ(prefs.Size(), kPreferenceCount);
  EXPECT_TRUE(prefs.IsOn(KeepWindowPosition));
  EXPECT_TRUE(prefs.IsOn(AlwaysOnTop));
  EXPECT_EQ(prefs[PassDisplay], "1");
  EXPECT_TRUE(prefs.IsOn(ExitOnLaunchFailure));
  for (std::size_t i = WindowLeft; i <= TitleColumnWidth; ++i) EXPECT_EQ(prefs[i], "5000");
  EXPECT_TRUE(prefs.IsOn(HangUpOnBrowserExit));
  EXPECT_TRUE(prefs.IsOn(ExitOnBrowserExit));
  EXPECT_EQ(prefs[TableChecksum], "0");
  EXPECT_EQ(prefs[LockPassword], "@");
}

TEST(Preferences, SplitDropsEmptyPieces) {
  struct Case {
    const char* joined;
    std::vector<std::string> expected;
  } cases[] = {
      {"1,2,3", {"1", "2", "3"}},
      {"1,,3", {"1", "3"}},
      {",1", {"1"}},
      {"1,", {"1"}},
      {",,", {}},
      {"", {}},
      {"12", {"12"}},
  };
  for (const auto& c : cases) {
    PreferenceList prefs;
    SplitPreferences(prefs, c.joined);
    EXPECT_EQ(prefs.Values(), c.expected) << c.joined;
  }
}

TEST(Preferences, JoinRefusesShortListAndKeepsString) {
  PreferenceList prefs;
  prefs.Append("a");
  prefs.Append("b");
  std::string joined = "unchanged";
  EXPECT_FALSE(JoinPreferences(prefs, 3, joined));
  EXPECT_EQ(joined, "unchanged");
  EXPECT_TRUE(JoinPreferences(prefs, 2, joined));
  EXPECT_EQ(joined, "a,b");
}

TEST(Preferences, SaveWritesJoinedValuesAndPasswordScrambled) {
  fakes::MemoryProfileFile file;
  PreferenceList prefs;
  prefs.ResetToDefaults();
  prefs[LockPassword] = "@pw,with,commas";
  SavePreferences(file, prefs);
  auto section = file.ReadSection("list20");
  ASSERT_EQ(section.size(), 2u);
  EXPECT_EQ(section[0].first, "0");
  EXPECT_EQ(section[1].first, "1");
  auto joined = UnscrambleText(section[0].second);
  ASSERT_TRUE(joined.checkOk);
  EXPECT_EQ(joined.text,
            "1,1,0,0,1,0,0,0,1,5000,5000,5000,5000,5000,5000,0,0,0,0,0,0,0,0,0,1,1,0,0,0,0,0");
  EXPECT_EQ(UnscrambleText(section[1].second).text, "@pw,with,commas");
}

}  // namespace
}  // namespace norvax
