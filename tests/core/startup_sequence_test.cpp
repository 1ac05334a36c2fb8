#include <gtest/gtest.h>

#include <memory>

#include "core/settings.h"
#include "core/startup.h"
#include "dialup/connection_log.h"
#include "dialup/log_move.h"
#include "fakes/fake_password_prompt.h"
#include "fakes/fake_ports.h"
#include "launch/launch.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

struct Start : ::testing::Test {
  std::unique_ptr<fakes::FakePorts> holder = std::make_unique<fakes::FakePorts>();
  fakes::FakePorts& fake() { return *holder; }
  ProgramState state;
  fakes::FakePasswordPrompt prompt;

  // A settings file holding two entries (the second without a browser) and the given
  // preference changes.
  void Store(std::initializer_list<std::pair<Pref, std::string>> changes) {
    EntryTable table;
    Entry a = Entry::New();
    a[Column::Title] = "A";
    a[Column::Browser] = "/usr/bin/browser";
    table.Append(a);
    Entry b = Entry::New();
    b[Column::Title] = "B";
    table.Append(b);
    PreferenceList prefs;
    prefs.ResetToDefaults();
    for (auto& [p, v] : changes) prefs[p] = v;
    SaveEntryTable(fake().settings, table, prefs);
    fake().settings.writeCount = 0;
  }

  StartupPlan Run(std::vector<std::string> args = {}, int w = 1024, int h = 768) {
    return StartUp(state, fake().ports, args, w, h, prompt);
  }
};

TEST_F(Start, NoSettingsFileStartsEmptyWithDefaults) {
  auto plan = Run();
  EXPECT_FALSE(plan.abandoned);
  EXPECT_EQ(state.table.Count(), 0u);
  EXPECT_EQ(state.prefs.Size(), kPreferenceCount);
  EXPECT_TRUE(fake().dialogs.errors.empty());
  EXPECT_TRUE(plan.alwaysOnTop) << "preference 1 defaults to on";
  EXPECT_FALSE(plan.bounds) << "default bounds 5000 are off any screen";
  EXPECT_FALSE(plan.minimised);
}

TEST_F(Start, DamagedFileIsReportedAndStartContinues) {
  Store({});
  fake().settings.WriteSection("LIST02", {{"0", "x"}});
  auto plan = Run();
  EXPECT_FALSE(plan.abandoned);
  EXPECT_EQ(fake().dialogs.errors, std::vector<std::string>{SettingsDamagedMessage()});
  EXPECT_EQ(state.table.Count(), 0u);
}

TEST_F(Start, FailedEraseOfDamagedFileIsReportedNotFatal) {
  Store({});
  fake().settings.WriteSection("LIST02", {{"0", "x"}});
  fake().settings.failWrites = true;
  auto plan = Run();
  EXPECT_FALSE(plan.abandoned);
  ASSERT_EQ(fake().dialogs.errors.size(), 2u);
  EXPECT_NE(fake().dialogs.errors[1].find(Sjis("に書き込めません")), std::string::npos);
  EXPECT_EQ(state.prefs.Size(), kPreferenceCount);
}

TEST_F(Start, AnUnreadableFileEndsTheProgramWithoutTouchingIt) {
  fake().settings.failReads = true;
  auto plan = Run();
  EXPECT_TRUE(plan.abandoned);
  EXPECT_EQ(
      fake().dialogs.errors,
      std::vector<std::string>{ReadError(fake().settings.Path(), "Permission denied").Message()});
  ShutDown(state, fake().ports, WindowBounds{1, 2, 3, 4, 5, 6}, [] {});
  EXPECT_EQ(fake().settings.writeCount, 0);
  EXPECT_TRUE(fake().settings.copies.empty());
}

// A log move that was cut off is finished at start; one that cannot be finished now is
// reported, and the start goes on.
TEST_F(Start, APendingLogMoveIsFinishedOrReported) {
  auto& files = fake().logFiles;
  files.files[kLogFileName] = "1999/04/01,\"A\"\r\n1999/05/01,\"B\"\r\n";
  files.failAt = 1;  // only the temporary file is written
  EXPECT_THROW(MoveLog(files, fake().dialogs, "1999/04/15", "1999/06/10"), FileError);
  files.failAt = -1;
  files.readOnly.insert(kLogArchiveName);
  EXPECT_FALSE(Run().abandoned);
  EXPECT_EQ(fake().dialogs.errors,
            std::vector<std::string>{"/memory/NORVALOG.OLD: Read-only file system"});
  files.readOnly.clear();
  Run();
  EXPECT_FALSE(files.Exists(kLogTempName));
  EXPECT_EQ(files.files[kLogFileName], "1999/05/01,\"B\"\r\n");
}

TEST_F(Start, CommandLine) {
  struct Case {
    std::vector<std::string> args;
    const char* noLaunch;  // preference 7
    bool abandoned;
    int entry;
  } cases[] = {
      {{}, "0", false, kNoCommandLineEntry},
      {{"1"}, "0", false, 0},
      {{"1", "2"}, "0", false, 0},
      {{"0"}, "0", true, kNoCommandLineEntry},
      {{"2"}, "0", true, kNoCommandLineEntry},  // entry without a browser
      {{"3"}, "0", true, kNoCommandLineEntry},  // too large
      {{"abc"}, "0", true, kNoCommandLineEntry},
      {{"0"}, "1", false, kNoCommandLineEntry},  // ignored with preference 7
      {{"1"}, "1", false, kNoCommandLineEntry},
  };
  for (const auto& c : cases) {
    fake().dialogs.errors.clear();
    state = ProgramState{};
    Store({{NoConnectNoBrowser, c.noLaunch}});
    auto plan = Run(c.args);
    EXPECT_EQ(plan.abandoned, c.abandoned) << c.args.size();
    EXPECT_EQ(state.main.commandLineEntry, c.entry);
    EXPECT_EQ(plan.minimised, c.entry != kNoCommandLineEntry);
    EXPECT_EQ(state.main.minimisedAtStart, plan.minimised);
    EXPECT_FALSE(state.main.startAborted) << "a command-line error still saves at exit";
    if (c.abandoned) {
      EXPECT_EQ(fake().dialogs.errors, std::vector<std::string>{CommandLineErrorMessage()});
    } else {
      EXPECT_TRUE(fake().dialogs.errors.empty());
    }
  }
}

TEST_F(Start, CommandLineEntryIsLaunchedAndBecomesCurrent) {
  Store({});
  Run({"1"});
  LaunchAtStart(state, fake().ports);
  EXPECT_EQ(state.main.currentEntry, 0);
  ASSERT_EQ(fake().processes.started.size(), 1u);
  EXPECT_EQ(fake().processes.started[0].commandLine, "/usr/bin/browser");
}

TEST_F(Start, StartLock) {
  enum Answer { Right, Wrong, Cancel };
  struct Case {
    const char* lockStart;
    const char* password;
    Answer answer;
    bool asked;
    bool abandoned;
    bool error;
  } cases[] = {
      {"1", "@secret", Right, true, false, false},
      {"1", "@secret", Wrong, true, true, true},
      {"1", "@secret", Cancel, true, true, false},
      {"1", "@", Cancel, false, false, false},  // no password set
      {"0", "@secret", Cancel, false, false, false},
  };
  for (const auto& c : cases) {
    holder = std::make_unique<fakes::FakePorts>();
    state = ProgramState{};
    prompt = fakes::FakePasswordPrompt{};
    Store({{LockStart, c.lockStart},
           {LockPassword, c.password},
           {LockActive, std::string(c.password) == "@" ? "0" : "1"}});
    auto before = fake().settings.sections;
    if (c.answer != Cancel)
      prompt.answers.push_back({true, c.answer == Right ? "secret" : "Secret", ""});
    auto plan = Run({"1"});
    EXPECT_EQ(prompt.shown > 0, c.asked) << c.lockStart << c.password;
    if (c.asked) {
      EXPECT_EQ(prompt.setup.caption, Sjis("NORVAXの起動"));
    }
    EXPECT_EQ(plan.abandoned, c.abandoned) << c.lockStart << c.password << c.answer;
    EXPECT_EQ(state.main.startAborted, c.abandoned);
    EXPECT_EQ(fake().dialogs.errors.size(), c.error ? 1u : 0u);
    if (c.error) {
      EXPECT_EQ(fake().dialogs.errors[0], Sjis("ﾊﾟｽﾜ-ﾄﾞ ｴﾗ-。"));
    }
    if (c.abandoned) {
      EXPECT_EQ(state.main.commandLineEntry, kNoCommandLineEntry) << "no launch after a lock";
      // The exit that follows writes nothing.
      ShutDown(state, fake().ports, WindowBounds{1, 2, 3, 4, 5, 6}, [] {});
      EXPECT_EQ(fake().settings.sections, before);
    }
  }
}

TEST_F(Start, WindowBoundsAreKeptOnlyWithinTenPixelsOfTheScreenEdge) {
  Store({{WindowLeft, "1013"},
         {WindowTop, "757"},
         {WindowWidth, "200"},
         {WindowHeight, "300"},
         {LeftPanelWidth, "90"},
         {TitleColumnWidth, "50"}});
  auto inside = Run({}, 1024, 768);
  ASSERT_TRUE(inside.bounds);
  EXPECT_EQ(inside.bounds->left, 1013);
  state = ProgramState{};
  EXPECT_FALSE(Run({}, 1023, 768).bounds);
  state = ProgramState{};
  EXPECT_FALSE(Run({}, 1024, 767).bounds);
}

TEST(ShutDownWait, WaitsForTheWorkerAtMostSixtySecondsWhileProcessingEvents) {
  fakes::FakePorts fake;
  ProgramState state;
  state.prefs.ResetToDefaults();
  state.main.watchThreadRunning = true;
  state.session.state = kSessionDialling;
  state.session.connection = 7;
  int rounds = 0;
  ShutDown(state, fake.ports, WindowBounds{}, [&] { ++rounds; });
  EXPECT_TRUE(state.worker->StopRequested());
  EXPECT_EQ(rounds, 600);
  EXPECT_EQ(fake.clock.slept, 60000u);
  EXPECT_EQ(fake.settings.writeCount, 1) << "saved even when the worker did not end";
  EXPECT_EQ(fake.remote.hungUp, std::vector<ConnectionHandle>{7}) << "the dial under way ends";
}

TEST(ShutDownWait, NoWaitWithoutAWorkerAndAFailedSaveIsReported) {
  fakes::FakePorts fake;
  ProgramState state;
  state.prefs.ResetToDefaults();
  fake.settings.failWrites = true;
  ShutDown(state, fake.ports, WindowBounds{1, 2, 3, 4, 5, 6}, [] {});
  EXPECT_FALSE(state.worker->StopRequested());
  EXPECT_EQ(fake.clock.slept, 0u);
  EXPECT_EQ(fake.dialogs.errors,
            std::vector<std::string>{WriteError(fake.settings.Path()).Message()});
}

TEST(ShutDownWait, WithoutTheDisplayTheWorkersLastStepsRunAtOnce) {
  // Connected: browsing, or just up and not yet handed to the browser watch.
  for (int session : {kSessionIdle, kSessionConnected, kSessionDialling}) {
    const bool connected = session != kSessionDialling;
    fakes::FakePorts fake;
    ProgramState state;
    state.prefs.ResetToDefaults();
    state.main.watchThreadRunning = true;
    state.session.connection = 7;
    state.session.state = session;
    state.session.profileText = "0;20;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;";
    state.session.profile = ParseProfile(state.session.profileText);
    state.session.profileParsed = true;
    state.session.entryName = "Provider";
    state.session.startTime = {2026, 1, 10, 12, 0, 0};
    fake.clock.now = {2026, 1, 10, 12, 1, 0, 0};
    ShutDownWithoutDisplay(state, fake.ports, WindowBounds{1, 2, 3, 4, 5, 6});
    EXPECT_TRUE(state.worker->StopRequested());
    EXPECT_EQ(fake.remote.hungUp, std::vector<ConnectionHandle>{7});
    EXPECT_EQ(fake.logFiles.files[kLogFileName].empty(), !connected) << "only a call is logged";
    EXPECT_EQ(fake.settings.writeCount, 1);
  }
}

}  // namespace
}  // namespace norvax
