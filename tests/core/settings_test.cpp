#include "core/settings.h"

#include <gtest/gtest.h>

#include "core/scrambler.h"
#include "fakes/fake_user_dialogs.h"
#include "fakes/memory_profile_file.h"
#include "platform/store/ini_file.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

Entry MakeEntry(const std::string& title) {
  Entry e = Entry::New();
  e[Column::Title] = title;
  e[Column::Id] = "id-" + title;
  e[Column::Pass] = "pw-" + title;
  e[Column::Browser] = "/usr/bin/browser";
  e[Column::Connection] = "conn";
  e[Column::SetPass] = "1";
  e[Column::Set1] = "IE4.0";
  e[Column::Set2] = "";
  return e;
}

// A settings file holding two entries and default preferences, as the program writes it.
struct SavedFile {
  fakes::MemoryProfileFile file;
  EntryTable table;
  PreferenceList prefs;

  SavedFile() {
    table.Append(MakeEntry("one"));
    table.Append(MakeEntry(Sjis("二つ目ｶﾅ")));
    prefs.ResetToDefaults();
    SaveEntryTable(file, table, prefs);
  }

  struct Loaded {
    EntryTable table;
    PreferenceList prefs;
    std::vector<std::string> errors, messages;
  };
  Loaded Load() {
    Loaded out;
    fakes::FakeUserDialogs dialogs;
    LoadSettings(file, out.table, out.prefs, dialogs, {2026, 12, 8, 5, 30, 7});
    out.errors = dialogs.errors;
    out.messages = dialogs.messages;
    return out;
  }
  void Put(const char* section, const std::string& key, const std::string& value) {
    file.WriteValue(section, key, value);
  }
  void Erase(const char* section) { file.EraseSection(section); }
};

void ExpectRecovered(SavedFile& saved) {
  auto loaded = saved.Load();
  ASSERT_EQ(loaded.errors.size(), 1u);
  EXPECT_EQ(loaded.errors[0], Sjis("INIﾌｧｲﾙ ｴﾗ-、新規作成します。"));
  EXPECT_EQ(loaded.table.Count(), 0u);
  PreferenceList defaults;
  defaults.ResetToDefaults();
  EXPECT_EQ(loaded.prefs, defaults);
  EXPECT_TRUE(saved.file.sections.empty()) << "every section read at load is erased";
  // Each damage keeps its own copy, and the user is told where it is.
  EXPECT_EQ(saved.file.copies, std::vector<std::string>{".damaged-20261208-053007"});
  EXPECT_EQ(
      loaded.messages,
      std::vector<std::string>{DamagedCopyMessage(saved.file.Path() + ".damaged-20261208-053007")});
}

TEST(LoadSettings, WrittenTableReadsBackWithoutMessage) {
  SavedFile saved;
  auto loaded = saved.Load();
  EXPECT_TRUE(loaded.errors.empty());
  EXPECT_EQ(loaded.table, saved.table);
  EXPECT_EQ(loaded.prefs, saved.prefs);
}

TEST(LoadSettings, NoFileStartsSilentlyWithDefaults) {
  fakes::MemoryProfileFile file;
  EntryTable table;
  PreferenceList prefs;
  fakes::FakeUserDialogs dialogs;
  LoadSettings(file, table, prefs, dialogs, {});
  EXPECT_TRUE(dialogs.errors.empty());
  EXPECT_EQ(table.Count(), 0u);
  EXPECT_EQ(prefs.Size(), kPreferenceCount);
  EXPECT_EQ(file.writeCount, 0);
}

TEST(LoadSettings, EmptyTableReplacesStoredPreferencesWithDefaults) {
  fakes::MemoryProfileFile file;
  EntryTable empty;
  PreferenceList prefs;
  prefs.ResetToDefaults();
  prefs[AlwaysOnTop] = "0";
  SaveEntryTable(file, empty, prefs);
  auto loaded = [&] {
    EntryTable t;
    PreferenceList p;
    fakes::FakeUserDialogs d;
    LoadSettings(file, t, p, d, {});
    EXPECT_TRUE(d.errors.empty());
    return p;
  }();
  EXPECT_EQ(loaded[AlwaysOnTop], "1");
}

TEST(LoadSettings, DamagedFilesAreRecovered) {
  struct Case {
    const char* what;
    std::function<void(SavedFile&)> damage;
  } cases[] = {
      {"one hex digit changed in a title",
       [](SavedFile& s) {
         auto v = s.file.ReadString("LIST01", "0", "");
         v.back() = v.back() == '0' ? '1' : '0';
         s.Put("LIST01", "0", v);
       }},
      {"a key column one value short",
       [](SavedFile& s) { s.file.WriteSection("LIST03", {s.file.ReadSection("LIST03")[0]}); }},
      {"lock on without a password",
       [](SavedFile& s) {
         s.prefs[LockActive] = "1";
         SavePreferences(s.file, s.prefs);
       }},
      {"password stored with the lock off",
       [](SavedFile& s) {
         s.prefs[LockPassword] = "@secret";
         SavePreferences(s.file, s.prefs);
       }},
      {"checksum mismatch",
       [](SavedFile& s) {
         s.prefs[TableChecksum] = "1";
         SavePreferences(s.file, s.prefs);
       }},
      {"checksum not decimal text",
       [](SavedFile& s) {
         s.prefs[TableChecksum] = "12a";
         SavePreferences(s.file, s.prefs);
       }},
      {"32 preferences joined (33 values)",
       [](SavedFile& s) {
         s.Put("LIST20", "0",
               ScrambleText("1,1,0,0,1,0,0,0,1,5000,5000,5000,5000,5000,5000,0,"
                            "0,0,0,0,0,0,0,0,1,1,0,0,0,0,0,0",
                            true));
       }},
      {"an empty preference between two commas",
       [](SavedFile& s) {
         s.Put("LIST20", "0",
               ScrambleText("1,1,,0,1,0,0,0,1,5000,5000,5000,5000,5000,5000,0,"
                            "0,0,0,0,0,0,0,0,1,1,0,0,0,0,0",
                            true));
       }},
      {"entries without preferences", [](SavedFile& s) { s.Erase("LIST20"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SavedFile saved;
    c.damage(saved);
    ExpectRecovered(saved);
  }
}

TEST(LoadSettings, OlderFilePaddedWithFillValues) {
  SavedFile saved;
  for (const char* s : {"LIST05b", "LIST05c", "LIST05d", "LIST11"}) saved.Erase(s);
  auto loaded = saved.Load();
  EXPECT_TRUE(loaded.errors.empty());
  ASSERT_EQ(loaded.table.Count(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(loaded.table.List(Column::WorkDirectory)[i], "");
    EXPECT_EQ(loaded.table.List(Column::OwnDialler)[i], "0");
    EXPECT_EQ(loaded.table.List(Column::Maximise)[i], "0");
    EXPECT_EQ(loaded.table.List(Column::DialProfile)[i], kDefaultDialProfile);
  }
  EXPECT_EQ(loaded.table.List(Column::DialProfile).size(), 2u);
}

TEST(LoadSettings, ShortProxyColumnsArePaddedNotMisaligned) {
  SavedFile saved;
  // Entries whose proxy servers and exceptions are empty: their missing values add nothing
  // to the checksum, so the file passes the check.
  saved.file.WriteSection("LIST09", {{"0", ""}});
  saved.Erase("LIST10");
  saved.file.WriteSection("LIST11", {{"0", "a"}, {"1", "b"}, {"2", "orphan"}});
  auto loaded = saved.Load();
  EXPECT_TRUE(loaded.errors.empty());
  EXPECT_EQ(loaded.table.List(Column::ProxyServers), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(loaded.table.List(Column::ProxyExceptions), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(loaded.table.List(Column::DialProfile), (std::vector<std::string>{"a", "b"}));
}

TEST(LoadSettings, PlainValueErrorMarkerEndsItsSection) {
  SavedFile saved;
  saved.Put("LIST05b", "0", "ERROR@@");
  saved.Put("LIST05b", "1", "/home/b");
  auto loaded = saved.Load();
  EXPECT_TRUE(loaded.errors.empty());
  // Nothing was read from the section, so both entries get the fill value.
  EXPECT_EQ(loaded.table.List(Column::WorkDirectory), (std::vector<std::string>{"", ""}));
}

TEST(LoadSettings, FailedEraseStillResetsAndReportsTheCopyItMade) {
  for (bool copyFails : {true, false}) {
    SavedFile saved;
    saved.Put("LIST01", "0", "00FFFF");
    saved.file.failWrites = true;
    saved.file.failCopies = copyFails;
    EntryTable table;
    PreferenceList prefs;
    fakes::FakeUserDialogs dialogs;
    EXPECT_THROW(LoadSettings(saved.file, table, prefs, dialogs, {}), WriteError);
    EXPECT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.messages.size(), copyFails ? 0u : 1u) << "the message names the copy";
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_EQ(prefs.Size(), kPreferenceCount);
    EXPECT_FALSE(saved.file.sections.empty()) << "the damaged file stays as it was";
  }
}

TEST(LoadSettings, LongValuesReadBackWhole) {
  fakes::MemoryProfileFile file;
  EntryTable table;
  Entry e = MakeEntry(std::string(255, '\x82'));
  e[Column::ProxyExceptions] = std::string(5000, 'x');
  table.Append(e);
  PreferenceList prefs;
  prefs.ResetToDefaults();
  SaveEntryTable(file, table, prefs);
  EntryTable loaded;
  PreferenceList loadedPrefs;
  fakes::FakeUserDialogs dialogs;
  LoadSettings(file, loaded, loadedPrefs, dialogs, {});
  EXPECT_TRUE(dialogs.errors.empty());
  EXPECT_EQ(loaded, table);
}

TEST(Transfer, ScrambledReadKeepsValuesBeforeAFailure) {
  fakes::MemoryProfileFile file;
  file.WriteSection(
      "S", {{"0", ScrambleText("a", true)}, {"1", "00FFFF"}, {"2", ScrambleText("c", false)}});
  std::vector<std::string> list;
  EXPECT_FALSE(TransferSection(file, TransferMode::ReadScrambled, "s", list));
  EXPECT_EQ(list, std::vector<std::string>{"a"});
}

TEST(Transfer, ReadStopsAtFirstMissingKeyAndFindsKeysInAnyOrder) {
  fakes::MemoryProfileFile file;
  // Only the first value of a key counts, and "01" or "+2" is not a key of the list.
  file.WriteSection(
      "S",
      {{"1", "b"}, {"01", "x"}, {"0", "a"}, {"1", "later"}, {"+2", "y"}, {"2", "c"}, {"4", "e"}});
  std::vector<std::string> list;
  EXPECT_TRUE(TransferSection(file, TransferMode::ReadPlain, "S", list));
  EXPECT_EQ(list, (std::vector<std::string>{"a", "b", "c"}));
}

TEST(Transfer, WriteReplacesSectionAndEraseReturnsFalse) {
  fakes::MemoryProfileFile file;
  file.WriteSection("S", {{"0", "a"}, {"1", "b"}, {"2", "c"}});
  std::vector<std::string> list{"x"};
  EXPECT_TRUE(TransferSection(file, TransferMode::WritePlain, "S", list));
  EXPECT_EQ(file.ReadSection("S"), (KeyValues{{"0", "x"}}));
  EXPECT_FALSE(TransferSection(file, TransferMode::EraseOnly, "S", list));
  EXPECT_TRUE(file.ReadSection("S").empty());
}

TEST(EntryChecksum, SumsBytesOfElevenColumnsOnly) {
  EntryTable table;
  Entry e = Entry::New();
  e[Column::Title] = "\xFF";
  e[Column::ProxyFlags] = "000";  // 3 * 48
  e[Column::WorkDirectory] = "ignored";
  e[Column::DialProfile] = "ignored too";
  e[Column::OwnDialler] = "1";
  table.Append(e);
  EXPECT_EQ(EntryChecksum(table), 255 + 144 + '0');  // title + proxy flags + set-PASS "0"
}

// The sample files were written by an independent writer of the same format.
TEST(LoadSettings, SampleFilesLoadWithoutMessage) {
  testing::TempDir dir;
  for (const char* name : {"norvax.ini", "norvax-older-format.ini"}) {
    SCOPED_TRACE(name);
    auto path = dir / name;
    testing::WriteFile(path, testing::ReadFile(testing::SamplePath(name)));
    IniFile file(path.string());
    EntryTable table;
    PreferenceList prefs;
    fakes::FakeUserDialogs dialogs;
    LoadSettings(file, table, prefs, dialogs, {});
    EXPECT_TRUE(dialogs.errors.empty());
    ASSERT_EQ(table.Count(), 4u);
    EXPECT_EQ(table.List(Column::DialProfile).size(), 4u);
    EXPECT_EQ(table.List(Column::Connection)[3], "/N");
    EXPECT_EQ(table.List(Column::ProxyServers)[1],
              "http=proxy.example.jp:8080;ftp=proxy.example.jp:21");
    EXPECT_EQ(prefs.Size(), kPreferenceCount);
  }
}

TEST(LoadSettings, SampleFileSurvivesASaveUnchangedInMeaning) {
  testing::TempDir dir;
  auto path = dir / "norvax.ini";
  testing::WriteFile(path, testing::ReadFile(testing::SamplePath("norvax.ini")));
  IniFile file(path.string());
  EntryTable table;
  PreferenceList prefs;
  fakes::FakeUserDialogs dialogs;
  LoadSettings(file, table, prefs, dialogs, {});
  int replaces = 0;
  file.SetBeforeReplaceHook([&] { ++replaces; });
  SaveEntryTable(file, table, prefs);
  EXPECT_EQ(replaces, 1) << "the table and the preferences in one replace of the file";
  EntryTable again;
  PreferenceList againPrefs;
  LoadSettings(file, again, againPrefs, dialogs, {});
  EXPECT_TRUE(dialogs.errors.empty());
  EXPECT_EQ(again, table);
  EXPECT_EQ(againPrefs, prefs);

  // A save that fails leaves the file and the preferences exactly as they were.
  const std::string before = testing::ReadFile(path);
  const PreferenceList prefsBefore = prefs;
  table.Append(Entry::New());
  file.SetBeforeReplaceHook([&] { throw WriteError(path.string()); });
  EXPECT_THROW(SaveEntryTable(file, table, prefs), WriteError);
  EXPECT_EQ(testing::ReadFile(path), before);
  EXPECT_EQ(prefs, prefsBefore);
}

}  // namespace
}  // namespace norvax
