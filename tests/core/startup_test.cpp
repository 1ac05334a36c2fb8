#include "core/startup.h"

#include <gtest/gtest.h>

#include "core/scrambler.h"
#include "core/settings.h"
#include "fakes/memory_profile_file.h"

namespace norvax {
namespace {

EntryTable TableWithBrowsers(std::vector<std::string> browsers) {
  EntryTable table;
  for (auto& b : browsers) {
    Entry e = Entry::New();
    e[Column::Browser] = b;
    table.Append(e);
  }
  return table;
}

PreferenceList Defaults() {
  PreferenceList prefs;
  prefs.ResetToDefaults();
  return prefs;
}

TEST(CommandLine, EntryNumberCountsFromOne) {
  auto table = TableWithBrowsers({"/usr/bin/a", "", "/usr/bin/c"});
  auto prefs = Defaults();
  EXPECT_EQ(ReadCommandLine({}, prefs, table).entry, kNoCommandLineEntry);
  EXPECT_FALSE(ReadCommandLine({}, prefs, table).error);
  EXPECT_EQ(ReadCommandLine({"1"}, prefs, table).entry, 0);
  EXPECT_EQ(ReadCommandLine({"3", "ignored"}, prefs, table).entry, 2);
  for (const char* bad : {"0", "2", "4", "-1", "x", "1x", "", "99999999999"}) {
    auto r = ReadCommandLine({bad}, prefs, table);
    EXPECT_TRUE(r.error) << bad;
    EXPECT_EQ(r.entry, kNoCommandLineEntry) << bad;
  }
}

TEST(CommandLine, IgnoredWhenLaunchesAreOff) {
  auto table = TableWithBrowsers({"/usr/bin/a"});
  auto prefs = Defaults();
  prefs[NoConnectNoBrowser] = "1";
  for (const char* arg : {"1", "7", "x"}) {
    auto r = ReadCommandLine({arg}, prefs, table);
    EXPECT_FALSE(r.error);
    EXPECT_EQ(r.entry, kNoCommandLineEntry);
  }
}

TEST(WindowBoundsRule, RestoredOnlyWellInsideTheScreen) {
  auto prefs = Defaults();
  EXPECT_FALSE(StoredWindowBounds(prefs, 1920, 1080)) << "defaults 5000 are off screen";
  prefs[WindowLeft] = "100";
  prefs[WindowTop] = "50";
  prefs[WindowWidth] = "400";
  prefs[WindowHeight] = "300";
  prefs[LeftPanelWidth] = "200";
  prefs[TitleColumnWidth] = "120";
  auto b = StoredWindowBounds(prefs, 1920, 1080);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->left, 100);
  EXPECT_EQ(b->titleColumnWidth, 120);
  prefs[WindowLeft] = "1910";
  EXPECT_FALSE(StoredWindowBounds(prefs, 1920, 1080));
  prefs[WindowLeft] = "1909";
  EXPECT_TRUE(StoredWindowBounds(prefs, 1920, 1080));
  prefs[WindowLeft] = "100";
  prefs[WindowWidth] = "1132";
  ASSERT_TRUE(StoredWindowBounds(prefs, 1024, 768));
  EXPECT_EQ(StoredWindowBounds(prefs, 1024, 768)->width, 1024) << "never wider than the screen";
  prefs[WindowHeight] = "tall";
  EXPECT_FALSE(StoredWindowBounds(prefs, 1920, 1080)) << "non-decimal text keeps design bounds";
  prefs[WindowHeight] = "300";
  prefs[KeepWindowPosition] = "0";
  EXPECT_FALSE(StoredWindowBounds(prefs, 1920, 1080));
}

TEST(SaveAtExit, StoresBoundsAndChecksumOnlyWhenAsked) {
  auto table = TableWithBrowsers({"/usr/bin/a"});
  WindowBounds bounds{10, 20, 300, 400, 150, 90};
  {
    fakes::MemoryProfileFile file;
    auto prefs = Defaults();
    SaveAtExit(file, table, prefs, bounds, false);
    EXPECT_EQ(prefs[WindowLeft], "10");
    EXPECT_EQ(prefs[TitleColumnWidth], "90");
    EXPECT_EQ(prefs[TableChecksum], std::to_string(EntryChecksum(table)));
    EXPECT_EQ(file.ReadSection("LIST20").size(), 2u);
  }
  for (bool aborted : {true, false}) {
    fakes::MemoryProfileFile file;
    auto prefs = Defaults();
    if (!aborted) prefs[KeepWindowPosition] = "0";
    SaveAtExit(file, table, prefs, bounds, aborted);
    EXPECT_EQ(file.writeCount, 0);
    EXPECT_EQ(prefs[WindowLeft], "5000");
  }
}

}  // namespace
}  // namespace norvax
