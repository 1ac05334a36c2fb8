#include "dialup/call_record.h"

#include <gtest/gtest.h>

#include "core/program_state.h"
#include "core/startup.h"
#include "dialup/connection_log.h"
#include "dialup/dial_steps.h"
#include "fakes/fake_password_prompt.h"
#include "fakes/fake_ports.h"

namespace norvax {
namespace {

constexpr const char* kLoggingProfile = "0;20;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;";

// A program whose session's connection came up at 12:00:00, with the watch on it.
struct Call {
  fakes::FakePorts fake;
  ProgramState state;

  void Connect(const std::string& connection) {
    DialSession& s = state.session;
    s.profile = ParseProfile(s.profileText = kLoggingProfile);
    s.profileParsed = true;
    s.attempts = 1;
    s.entryName = connection;
    fake.remote.open[connection] = s.connection = ++fake.remote.lastHandle;
    s.startTick = fake.clock.ticks;
    s.startTime = DateTime::From(fake.clock.now);
    s.endTime = {};
    state.main.watchThreadRunning = true;
    BeginCall(state, fake.ports);
  }
  void Pass(int seconds) {
    fake.clock.ticks += static_cast<uint32_t>(seconds) * 1000;
    fake.clock.now.second += seconds;
  }
  void End() {
    HangUpStep(state, fake.ports);
    LogStep(state, fake.ports, fake.dialogs, LockWait::kWait);
  }
  std::vector<std::string> Log() { return ReadAllLines(fake.logFiles, kLogFileName); }
};

std::string Duration(const std::string& line) { return SplitLogLine(line).at(3); }

TEST(CallRecord, RecordedAtConnectRefreshedWhileUpAndLoggedOnce) {
  Call c;
  c.Connect("Provider");
  c.Pass(45);
  RefreshCall(c.state, c.fake.ports);
  auto stored = ReadCallRecords(c.fake.logFiles);
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0], (CallRecord{"",
                                   "Provider",
                                   "",
                                   kLoggingProfile,
                                   true,
                                   1,
                                   {1999, 6, 10, 12, 0, 0},
                                   {1999, 6, 10, 12, 0, 45},
                                   45,
                                   {}}));
  c.Pass(5);
  c.End();
  ASSERT_EQ(c.Log().size(), 1u);
  EXPECT_EQ(Duration(c.Log()[0]), "0050");
  EXPECT_FALSE(c.fake.logFiles.Exists(kCallRecordFileName)) << "cleared with its line";
  // The display goes before the worker's end handler ran: nothing is logged twice.
  ShutDownWithoutDisplay(c.state, c.fake.ports, WindowBounds{});
  EXPECT_EQ(c.Log().size(), 1u);
}

TEST(CallRecord, LinesThatFindTheLogBusyAreKeptAndWrittenFirstLater) {
  Call c;
  c.Connect("A");
  c.fake.logFiles.locks.insert(kLogLockName);  // another program holds the log
  c.Pass(10);
  // The display is gone: nothing is shown (the messages go to the error stream).
  ShutDownWithoutDisplay(c.state, c.fake.ports, WindowBounds{});
  EXPECT_TRUE(c.fake.dialogs.errors.empty());
  c.Connect("B");
  c.Pass(20);
  c.End();
  ASSERT_EQ(c.fake.dialogs.errors.size(), 1u);
  EXPECT_TRUE(c.fake.dialogs.errors[0].ends_with(PendingCallsMessage()));
  EXPECT_EQ(ReadCallRecords(c.fake.logFiles).size(), 2u);
  EXPECT_TRUE(c.Log().empty());

  c.fake.logFiles.locks.clear();
  c.Connect("C");
  c.Pass(30);
  c.End();
  auto log = c.Log();
  ASSERT_EQ(log.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(SplitLogLine(log[i]).at(1)[0], 'A' + static_cast<int>(i));
    EXPECT_EQ(Duration(log[i]), "00" + std::to_string((i + 1) * 10));
  }
  EXPECT_FALSE(c.fake.logFiles.Exists(kCallRecordFileName));
}

// A program that ended without its own end left its call in progress: the next start hangs
// up a connection that is still up (ending the call then) and logs every call once.
TEST(CallRecord, TheNextStartEndsAndLogsALeftoverCallOnce) {
  const struct {
    bool up;
    const char* dialler;
    bool hungUp;
    const char* duration;  // 90 s at the last look, 12:02:00; the start is at 12:05:00
  } cases[] = {
      {true, "simulated", true, "0270"},
      {false, "simulated", false, "0090"},
      {true, "NetworkManager", false, "0090"},  // not this dialler's connection
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.dialler);
    fakes::FakePorts fake;
    CallRecord left{"Title",
                    "Provider",
                    t.dialler,
                    kLoggingProfile,
                    true,
                    1,
                    {1999, 6, 10, 12, 0, 30},
                    {1999, 6, 10, 12, 2, 0},
                    90,
                    {}};
    StoreCallRecords(fake.logFiles, {left});
    if (t.up) fake.remote.open["Provider"] = 5;
    fake.clock.now = {1999, 6, 10, 12, 5, 0, 0};
    ProgramState state;
    state.dialler = "simulated";
    fakes::FakePasswordPrompt prompt;
    for (int start = 0; start < 2; ++start) StartUp(state, fake.ports, {}, 1024, 768, prompt);
    EXPECT_EQ(fake.remote.hungUp.size(), t.hungUp ? 1u : 0u);
    auto log = ReadAllLines(fake.logFiles, kLogFileName);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(Duration(log[0]), t.duration);
    EXPECT_FALSE(fake.logFiles.Exists(kCallRecordFileName));
  }
}

}  // namespace
}  // namespace norvax
