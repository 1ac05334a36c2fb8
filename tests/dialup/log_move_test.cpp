#include "dialup/log_move.h"

#include <gtest/gtest.h>

#include "core/program_state.h"
#include "dialup/connection_log.h"
#include "dialup/dial_steps.h"
#include "fakes/fake_ports.h"
#include "platform/posix/posix_file_store.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

const std::string kOld =
    "1999/01/02,\"A\",10:00:00,0010,0000,0010,0000,\"1\",00,0000,1999/01, ,00010,0000\r\n";

std::string Line(const std::string& date, const std::string& name) {
  return date + ",\"" + name + "\",10:00:00,0010,0000,0010,0000,\"1\",00,0000," +
         date.substr(0, 7) + ", ,00010,0000\r\n";
}

struct Files {
  std::string log, archive;
};

const std::string kLog = Line("1999/04/14", "a") + Line("1999/04/15", "b") +
                         Line("1999/04/16", "c") + Line("1999/03/01", "d") +
                         Line("1999/05/01", "e");
// Logs a 10-second call named name on 1999/06/10 and returns the line it should write.
std::string LogCall(FileStore& files, const std::string& name) {
  fakes::MemoryProfileFile state;
  LoggedConnection c{name, {1999, 6, 10, 10, 0, 0}, {1999, 6, 10, 10, 0, 10}, 10, 1};
  EXPECT_FALSE(WriteLogLine(state, files, LoadHolidays(), c,
                            ParseProfile("0;20;1;1;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;")));
  return "1999/06/10,\"" + name + std::string(8 - name.size(), ' ') +
         "\",10:00:00,0010,0000,0010,0000,\"1       \",00,0000,1999/06, ,00010,0000\r\n";
}

const std::string kMoved =
    Line("1999/04/14", "a") + Line("1999/04/15", "b") + Line("1999/03/01", "d");
const std::string kKept = Line("1999/04/16", "c") + Line("1999/05/01", "e");

TEST(LogMove, RefusalsChangeNothing) {
  struct Case {
    const char* name;
    std::optional<std::string> log;
    std::string cutoff;
    bool confirm;
    LogMoveResult result;
    std::string error;
  } cases[] = {
      {"future", kLog, "1999/06/11", true, LogMoveResult::kFutureDate,
       "1999/06/11" + Sjis("は未来日付です。")},
      {"no log", std::nullopt, "1999/04/15", true, LogMoveResult::kNoLog,
       Sjis("ログファイルがありません。")},
      {"empty log", "", "1999/04/15", true, LogMoveResult::kEmptyLog, Sjis("ログが０件です。")},
      {"only empty lines", "\r\n\r\n", "1999/04/15", true, LogMoveResult::kEmptyLog,
       Sjis("ログが０件です。")},
      {"cancelled", kLog, "1999/04/15", false, LogMoveResult::kCancelled, ""},
  };
  for (const auto& c : cases) {
    fakes::MemoryFileStore files;
    if (c.log) files.files[kLogFileName] = *c.log;
    files.files[kLogArchiveName] = kOld;
    auto before = files.files;
    fakes::FakeUserDialogs dialogs;
    dialogs.confirmAnswer = c.confirm;
    auto outcome = MoveLog(files, dialogs, c.cutoff, "1999/06/10");
    EXPECT_EQ(outcome.result, c.result) << c.name;
    EXPECT_EQ(files.files, before) << c.name;
    if (c.error.empty()) {
      EXPECT_TRUE(dialogs.errors.empty()) << c.name;
    } else {
      EXPECT_EQ(dialogs.errors, std::vector<std::string>{c.error}) << c.name;
    }
  }
}

TEST(LogMove, MovesTheCutoffDayAndEarlierInFileOrder) {
  fakes::MemoryFileStore files;
  files.files[kLogFileName] = kLog;
  files.files[kLogArchiveName] = kOld;
  fakes::FakeUserDialogs dialogs;
  auto outcome = MoveLog(files, dialogs, "1999/04/15", "1999/06/10");
  EXPECT_EQ(outcome.result, LogMoveResult::kMoved);
  EXPECT_EQ(outcome.moved, 3u);
  EXPECT_EQ(outcome.kept, 2u);
  EXPECT_EQ(files.files[kLogFileName], kKept);
  EXPECT_EQ(files.files[kLogArchiveName], kOld + kMoved);
  EXPECT_FALSE(files.Exists(kLogTempName));
  EXPECT_EQ(dialogs.confirmations,
            std::vector<std::string>{"1999/04/15" + Sjis("以前のログを移動します。") +
                                     "\r\n\r\n/memory/NORVA.LOG -> \r\n/memory/NORVALOG.OLD"});
}

TEST(LogMove, AllLinesOldLeavesAnEmptyLog) {
  fakes::MemoryFileStore files;
  files.files[kLogFileName] = kLog;
  fakes::FakeUserDialogs dialogs;
  MoveLog(files, dialogs, "1999/06/10", "1999/06/10");
  EXPECT_EQ(files.files[kLogFileName], "");
  EXPECT_EQ(files.files[kLogArchiveName], kLog);
  EXPECT_EQ(ReadLogLines(files), std::vector<std::string>{});
}

TEST(LogMove, LinesAfterAnEmptyLineAreNotLost) {
  fakes::MemoryFileStore files;
  files.files[kLogFileName] =
      Line("1999/04/14", "a") + "\r\n" + Line("1999/04/16", "c") + Line("1999/04/01", "d");
  // Reading for the viewer stops at the empty line ...
  EXPECT_EQ(ReadLogLines(files)->size(), 1u);
  fakes::FakeUserDialogs dialogs;
  MoveLog(files, dialogs, "1999/04/15", "1999/06/10");
  // ... but the move keeps or archives everything after it.
  EXPECT_EQ(files.files[kLogFileName], Line("1999/04/16", "c"));
  EXPECT_EQ(files.files[kLogArchiveName], Line("1999/04/14", "a") + Line("1999/04/01", "d"));
}

// The move is cut off at every changing step (a failing append writes half its data);
// after that the next start recovers, itself cut off at every step once. Nothing is lost
// or doubled: the end state is the finished move, or the untouched files when the cut
// came before the move began.
TEST(LogMove, InterruptedAtEveryStepLosesNothing) {
  fakes::MemoryFileStore clean;
  clean.files[kLogFileName] = kLog;
  clean.files[kLogArchiveName] = kOld;
  fakes::FakeUserDialogs dialogs;
  MoveLog(clean, dialogs, "1999/04/15", "1999/06/10");
  const long steps = clean.operations;
  ASSERT_GE(steps, 4);
  const auto finished = clean.files;

  for (long cut = 0; cut < steps; ++cut) {
    for (long recoveryCut = -1; recoveryCut < steps; ++recoveryCut) {
      fakes::MemoryFileStore files;
      files.files[kLogFileName] = kLog;
      files.files[kLogArchiveName] = kOld;
      const auto untouched = files.files;
      files.failAt = cut;
      EXPECT_THROW(MoveLog(files, dialogs, "1999/04/15", "1999/06/10"), FileError);
      // A line logged while the move is pending (its recovery failing) stays in the log.
      const std::string late = Line("1999/06/10", "late");
      files.failAt = -1;
      files.files[kLogFileName] += late;
      if (recoveryCut >= 0) {
        files.failAt = files.operations + recoveryCut;
        try {
          RecoverLogMove(files);
        } catch (const FileError&) {
        }
      }
      files.failAt = -1;
      RecoverLogMove(files);
      auto expected = cut == 0 ? untouched : finished;
      expected[kLogFileName] += late;
      EXPECT_EQ(files.files, expected) << cut << " " << recoveryCut;
    }
  }
}

TEST(LogMove, ALineLoggedAfterAnInterruptedMoveIsKept) {
  fakes::MemoryFileStore files;
  files.files[kLogFileName] = kLog;
  fakes::FakeUserDialogs dialogs;
  files.failAt = 2;  // the archive is written, the log not yet replaced
  EXPECT_THROW(MoveLog(files, dialogs, "1999/04/15", "1999/06/10"), FileError);
  files.failAt = -1;
  // Even when the log was edited by hand meanwhile (its first line taken out).
  files.files[kLogFileName].erase(0, Line("1999/04/14", "a").size());
  std::string line = LogCall(files, "f");
  EXPECT_EQ(files.files[kLogFileName], kKept + line);
}

// A call that ends while the user is asked (its line is written from the message box's
// event loop) is moved or kept with the others, never written over.
TEST(LogMove, ALineLoggedWhileTheUserIsAskedIsKept) {
  fakes::MemoryFileStore files;
  files.files[kLogFileName] = kLog;
  fakes::FakeUserDialogs dialogs;
  std::string late;
  dialogs.whileAsking = [&] { late = LogCall(files, "f"); };
  auto outcome = MoveLog(files, dialogs, "1999/04/15", "1999/06/10");
  EXPECT_EQ(outcome.kept, 3u);
  EXPECT_EQ(files.files[kLogFileName], kKept + late);
  EXPECT_EQ(files.files[kLogArchiveName], kMoved);

  // Another program takes the log while the user is asked and keeps it too long.
  const auto before = files.files;
  dialogs.whileAsking = [&] { files.locks.insert(kLogLockName); };
  EXPECT_THROW(MoveLog(files, dialogs, "1999/06/10", "1999/06/10"), FileError);
  EXPECT_EQ(files.files, before);
}

// While a pending move cannot be finished (the archive is read-only), every call is still
// logged and the user is told why the move is pending; the first write after the archive
// is writable again finishes the move.
TEST(LogMove, CallsAreLoggedWhileAPendingMoveCannotBeFinished) {
  fakes::FakePorts fake;
  fake.logFiles.files[kLogFileName] = kLog;
  fake.logFiles.failAt = 1;  // the temporary file is written, nothing else
  EXPECT_THROW(MoveLog(fake.logFiles, fake.dialogs, "1999/04/15", "1999/06/10"), FileError);
  fake.logFiles.failAt = -1;
  fake.logFiles.readOnly.insert(kLogArchiveName);
  ProgramState state;
  DialSession& s = state.session;
  s.profileParsed = true;
  s.profileText = "0;20;1;1;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;";
  s.profile = ParseProfile(s.profileText);
  s.entryName = "f";
  s.endTime = {1999, 6, 10, 10, 0, 10};
  s.endTick = 10000;
  s.attempts = 1;
  for (int i = 0; i < 2; ++i) {
    s.startTime = {1999, 6, 10, 10, 0, 0};
    LogStep(state, fake.ports, fake.dialogs, LockWait::kWait);
    fake.logState.sections.clear();  // the same line each time
  }
  EXPECT_EQ(fake.dialogs.errors,
            std::vector<std::string>(2, "/memory/NORVALOG.OLD: Read-only file system"));
  EXPECT_EQ(ReadAllLines(fake.logFiles, kLogFileName).size(), 7u);
  fake.logFiles.readOnly.clear();
  std::string line = LogCall(fake.logFiles, "f");
  EXPECT_EQ(fake.logFiles.files[kLogArchiveName], kMoved);
  EXPECT_EQ(fake.logFiles.files[kLogFileName], kKept + line + line + line);
  EXPECT_FALSE(fake.logFiles.Exists(kLogTempName));
}

TEST(LogMove, OlderTemporaryFileGoesBackInFrontOfTheLog) {
  fakes::MemoryFileStore files;
  // An older version renamed the log and had written one kept line back when it stopped.
  files.files[kLogTempName] = kLog;
  files.files[kLogFileName] = Line("1999/04/16", "c");
  EXPECT_TRUE(RecoverLogMove(files));
  EXPECT_EQ(files.files[kLogFileName], kLog);
  EXPECT_FALSE(files.Exists(kLogTempName));
  EXPECT_FALSE(RecoverLogMove(files));

  // The log holds the first kept line written back, then a later call equal to it: two
  // calls, both kept.
  files.files[kLogTempName] = kLog;
  files.files[kLogFileName] = Line("1999/04/16", "c") + Line("1999/04/16", "c");
  RecoverLogMove(files);
  EXPECT_EQ(files.files[kLogFileName], kLog + Line("1999/04/16", "c"));
}

TEST(LogMove, DefaultCutoffAndTexts) {
  EXPECT_EQ(DefaultCutoff({2000, 2, 10}), (Date{1999, 11, 15}));
  EXPECT_EQ(DefaultCutoff({2000, 5, 31}), (Date{2000, 2, 15}));
  EXPECT_EQ(DefaultCutoff({2000, 3, 1}), (Date{1999, 12, 15}));
  EXPECT_EQ(DefaultCutoff({2000, 4, 1}), (Date{2000, 1, 15}));
  EXPECT_EQ(CutoffText(1999, 4, 5), "1999/04/05");
  EXPECT_TRUE(LineMoves("1999/04/15,x", "1999/04/15"));
  EXPECT_FALSE(LineMoves("1999/04/16,x", "1999/04/15"));
  EXPECT_TRUE(LineMoves("1999/02/28,x", "1999/02/31"));
}

TEST(LogMove, OnDiskWithTheSampleLog) {
  testing::TempDir dir;
  auto sample = testing::ReadFile(testing::SamplePath("NORVA.LOG"));
  testing::WriteFile(dir / "NORVA.LOG", sample);
  testing::WriteFile(dir / "NORVALOG.OLD", kOld);
  PosixFileStore files(dir.Path());
  fakes::FakeUserDialogs dialogs;
  auto outcome = MoveLog(files, dialogs, "1999/04/30", "1999/06/10");
  EXPECT_EQ(outcome.moved + outcome.kept, 76u);
  auto log = testing::ReadFile(dir / "NORVA.LOG");
  auto archive = testing::ReadFile(dir / "NORVALOG.OLD");
  EXPECT_EQ(log.size() + archive.size(), sample.size() + kOld.size());
  EXPECT_EQ(log.substr(0, 10), "1999/05/01");
  EXPECT_EQ(archive.substr(0, kOld.size()), kOld);
  EXPECT_FALSE(std::filesystem::exists(dir / "NORVALOG.TMP"));
}

}  // namespace
}  // namespace norvax
