#include "dialup/connection_log.h"

#include <gtest/gtest.h>

#include "fakes/memory_file_store.h"
#include "fakes/memory_profile_file.h"
#include "platform/posix/posix_file_store.h"
#include "platform/store/ini_file.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

constexpr const char* kLoggingProfile = "0;20;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;";

ComposedLogLine Compose(const std::string& name, DateTime start, int duration, int attempts,
                        const std::string& profile, LogState before = {}) {
  LoggedConnection c{name, start, AddSeconds(start, duration), duration, attempts};
  return ComposeLogLine(c, ParseProfile(profile), before, LoadHolidays());
}

TEST(ConnectionLog, LineOfACallAcrossMidnight) {
  auto composed = Compose("ProviderA", {1999, 3, 31, 23, 59, 30}, 59, 1, kLoggingProfile);
  EXPECT_EQ(composed.line,
            "1999/03/31,\"ProviderA\",23:59:30,0059,0000,0010,0000,\"        \",00,0000,1999/03, "
            ",00059,0000");
  EXPECT_EQ(composed.state, (LogState{"1999/03/31", 59}));
  // A call of a whole day is charged for the day, not for its times of day alone.
  auto day = Compose("ProviderA", {1999, 6, 10, 10, 0, 0}, 86400, 1, kLoggingProfile);
  EXPECT_EQ(SplitLogLine(day.line)[5], "4360");
}

TEST(ConnectionLog, FieldWidthsAndCuts) {
  struct Case {
    std::string name;
    int duration, attempts;
    LogState before;
    std::string nameField, readBack, durationField, redials, cumulativeField;
  } cases[] = {
      {"abc", 10, 1, {}, "\"abc     \"", "abc     ", "0010", "00", "00010"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXY",
       12345,
       13,
       {},
       "\"ABCDEFGHIJKLMNOPQRST\"",
       "ABCDEFGHIJKLMNOPQRST",
       "12345",
       "12",
       "12345"},
      {"1999", 10, 1, {"1999/05/02", 123446}, "\"1999    \"", "1999    ", "0010", "00", "123456"},
      // Never half of a double-byte character: 1 + 10 x 2 bytes is cut to 19 bytes.
      {"a" + Sjis("ああああああああああ"),
       10,
       1,
       {},
       "\"a" + Sjis("あああああああああ") + "\"",
       "a" + Sjis("あああああああああ"),
       "0010",
       "00",
       "00010"},
      // A double quote is doubled so the name reads back as one field.
      {"a\"b", 10, 1, {}, "\"a\"\"b    \"", "a\"b    ", "0010", "00", "00010"},
  };
  for (const auto& c : cases) {
    auto composed =
        Compose(c.name, {1999, 5, 3, 10, 0, 0}, c.duration, c.attempts, kLoggingProfile, c.before);
    auto& line = composed.line;
    EXPECT_EQ(line.substr(11, c.nameField.size() + 1), c.nameField + ",") << c.name;
    auto fields = SplitLogLine(line);
    ASSERT_EQ(fields.size(), 14u) << line;
    EXPECT_EQ(fields[1], c.readBack);
    EXPECT_EQ(fields[3], c.durationField);
    EXPECT_EQ(fields[8], c.redials);
    EXPECT_EQ(fields[12], c.cumulativeField);
    EXPECT_EQ(fields[13], "0000");
  }
}

TEST(ConnectionLog, PhoneNumberField) {
  struct Case {
    const char* profile;
    const char* field;
  } cases[] = {
      {"0;20;1;0311223344;0;1;0;0;0;0;0;1;10;180;10;180;10;240;0;", "\"0311223344\""},
      {"0;20;1;0311223344;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;", "\"0311223344\""},
      {"0;20;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;", "\"        \""},
      {"0;20;1;012345678901234567890123;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;",
       "\"01234567890123456789\""},
  };
  for (const auto& c : cases) {
    auto line = Compose("x", {1999, 5, 3, 10, 0, 0}, 10, 1, c.profile).line;
    EXPECT_NE(line.find(std::string(",") + c.field + ",00,"), std::string::npos) << line;
  }
}

// The sample log was written by the accounting rules for its two connections; composing
// every call again from its start, duration and redials must give the same lines.
TEST(ConnectionLog, ReplaysTheSampleLog) {
  const std::string kNight = Sjis("夜間プロバイダ");
  auto text = testing::ReadFile(testing::SamplePath("NORVA.LOG"));
  fakes::MemoryProfileFile state;
  auto holidays = LoadHolidays();
  std::size_t pos = 0;
  int count = 0;
  while (pos < text.size()) {
    auto end = text.find("\r\n", pos);
    ASSERT_NE(end, std::string::npos);
    std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    auto f = SplitLogLine(line);
    ASSERT_EQ(f.size(), 14u);
    std::string name = f[1];
    DateTime start;
    ASSERT_TRUE(ParseDateTimeText(f[0] + " " + f[2], start));
    int duration = std::stoi(f[3]);
    std::string profile =
        name == "ProviderA"
            ? "1;10;30;0311223344;1;1;600;2000;60;10;3000;20;10;180;10;180;10;240;1;"
            : "0;20;1; ;1;1;0;0;30;10;0;1;10;180;10;180;10;240;1;";
    ASSERT_TRUE(name == "ProviderA" || name == kNight);
    auto before = ReadLogState(state, name);
    auto composed = Compose(name, start, duration, std::stoi(f[8]) + 1, profile, before);
    EXPECT_EQ(composed.line, line) << count;
    WriteLogState(state, name, composed.state);
    ++count;
  }
  EXPECT_EQ(count, 76);
  // The state that goes with the log.
  IniFile sampleState(testing::SamplePath("NORVALOG.INI").string());
  for (const std::string& name : {std::string("ProviderA"), kNight}) {
    EXPECT_EQ(ReadLogState(state, name), ReadLogState(sampleState, name));
  }
}

TEST(ConnectionLog, StateReadsMissingValuesAsTheSystemDoes) {
  fakes::MemoryProfileFile state;
  EXPECT_EQ(ReadLogState(state, "x"), (LogState{"ERROR@@", 0}));
  state.WriteValue("x", "RuikeiTime", "ERROR@@");
  state.WriteValue("x", "Date", "1999/05/03");
  EXPECT_EQ(ReadLogState(state, "X"), (LogState{"1999/05/03", 0}));
  state.WriteValue("x", "RuikeiTime", "4711");
  EXPECT_EQ(ReadLogState(state, "x"), (LogState{"1999/05/03", 4711}));
}

TEST(ConnectionLog, WriteLogLineAppendsToTheSampleFiles) {
  testing::TempDir dir;
  testing::WriteFile(dir / "NORVA.LOG", testing::ReadFile(testing::SamplePath("NORVA.LOG")));
  testing::WriteFile(dir / "NORVALOG.INI", testing::ReadFile(testing::SamplePath("NORVALOG.INI")));
  IniFile state((dir / "NORVALOG.INI").string());
  PosixFileStore files(dir.Path());
  auto profile =
      ParseProfile("1;10;30;0311223344;1;1;600;2000;60;10;3000;20;10;180;10;180;10;240;1;");
  LoggedConnection c{"ProviderA", {1999, 6, 21, 10, 0, 0}, {1999, 6, 21, 10, 1, 0}, 60, 1};
  EXPECT_FALSE(WriteLogLine(state, files, LoadHolidays(), c, profile));
  auto log = testing::ReadFile(dir / "NORVA.LOG");
  // 21 June follows the billing start day 20, so the month starts afresh.
  std::string expected =
      "1999/06/21,\"ProviderA\",10:00:00,0060,0000,0010,0000,\"0311223344\",00,2000,1999/06, "
      ",00060,0000\r\n";
  ASSERT_GE(log.size(), expected.size());
  EXPECT_EQ(log.substr(log.size() - expected.size()), expected);
  EXPECT_EQ(ReadLogState(state, "ProviderA"), (LogState{"1999/06/21", 60}));
  EXPECT_EQ(ReadLogState(state, Sjis("夜間プロバイダ")), (LogState{"1999/06/09", 19570}));

  // No connection came up: nothing is written.
  auto size = log.size();
  EXPECT_FALSE(WriteLogLine(state, files, LoadHolidays(), LoggedConnection{}, profile));
  EXPECT_EQ(testing::ReadFile(dir / "NORVA.LOG").size(), size);
}

TEST(ConnectionLog, FailedStateWriteOrLockWritesNoLine) {
  fakes::MemoryProfileFile state;
  state.failWrites = true;
  fakes::MemoryFileStore files;
  LoggedConnection c{"x", {1999, 6, 21, 10, 0, 0}, {1999, 6, 21, 10, 1, 0}, 60, 1};
  EXPECT_THROW((void)WriteLogLine(state, files, LoadHolidays(), c, ParseProfile(kLoggingProfile)),
               WriteError);
  EXPECT_FALSE(files.Exists(kLogFileName));
  EXPECT_TRUE(files.locks.empty());

  // Another program holds the log for longer than the write waits.
  state.failWrites = false;
  files.locks.insert(kLogLockName);
  EXPECT_THROW((void)WriteLogLine(state, files, LoadHolidays(), c, ParseProfile(kLoggingProfile)),
               FileError);
  EXPECT_FALSE(files.Exists(kLogFileName));
  EXPECT_EQ(state.writeCount, 0);
}

TEST(ConnectionLog, DurationFromWrappingTicks) {
  const DateTime noon{2026, 1, 10, 12, 0, 0};
  EXPECT_EQ(DurationSeconds(1000, 60999, noon, {2026, 1, 10, 12, 0, 59}), 59);
  EXPECT_EQ(DurationSeconds(0xFFFFFC18u, 59000, noon, {2026, 1, 10, 12, 1, 0}), 60);
  // Sixty days: the ticks wrapped once; a clock set a little off does not add a wrap.
  EXPECT_EQ(DurationSeconds(0, 5184000000u - 4294967296u, noon, {2026, 3, 11, 12, 0, 0}), 5184000);
  EXPECT_EQ(DurationSeconds(0, 60000, noon, {2026, 1, 10, 13, 1, 0}), 60);
}

TEST(ConnectionLog, SplitLogLine) {
  struct Case {
    std::string line;
    std::vector<std::string> fields;
  } cases[] = {
      {"1999/03/25,\"Provider A\",22:32:00", {"1999/03/25", "Provider A", "22:32:00"}},
      {"1999/03/25,Provider A,22:32:00", {"1999/03/25", "Provider", "A", "22:32:00"}},
      {"  a,,b, ", {"a", "", "b"}},
      {"\"a\"\"b\",c", {"a\"b", "c"}},
      {"\"unterminated", {"unterminated"}},
      {"\"x\"y,z", {"x", "y", "z"}},
      {"", {}},
      {"a , b", {"a", "b"}},
      // The second byte of a double-byte character is never a closing quote.
      {"\"\x81\"x\",y", {"\x81\"x", "y"}},
      {"\"ab\x81", {"ab\x81"}},
      {std::string("a,b\0c,d", 7), {"a", "b"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitLogLine(c.line), c.fields) << c.line;
  std::string longLine = std::string(4095, 'a') + "bc";
  EXPECT_EQ(SplitLogLine(longLine), std::vector<std::string>{std::string(4095, 'a')});
  LogFields firstTwo;
  SplitLogLine("a,\"b\"\"c\",d", firstTwo, 2);
  ASSERT_EQ(firstTwo.Size(), 2u);
  EXPECT_EQ(firstTwo[1], "b\"c");
}

}  // namespace
}  // namespace norvax
