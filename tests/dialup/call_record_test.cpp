#include "dialup/call_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

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
                                   {},
                                   "1",
                                   std::nullopt}));
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

// The log step cut off at every moment: each change of a file from the chosen one on fails,
// as when the program is killed there (an append writes half its data). The next start
// writes every call's line once and whole, the month's seconds counted once.
TEST(CallRecord, AProgramKilledAtAnyMomentOfTheLogStepLeavesEveryLineOnce) {
  const auto logged = [](long killAt) {
    Call c;
    c.Connect("A");
    c.Pass(5);
    c.End();
    c.Connect("A");
    c.Pass(10);
    c.fake.logFiles.locks.insert(kLogLockName);  // kept for later
    c.End();
    c.fake.logFiles.locks.clear();
    c.Connect("A");
    c.Pass(20);
    RefreshCall(c.state, c.fake.ports);  // killed before its end is kept, it ended here
    c.fake.logFiles.failAt = killAt < 0 ? -1 : c.fake.logFiles.operations + killAt;
    c.End();
    const bool killed =
        c.fake.logFiles.failAt >= 0 && c.fake.logFiles.operations > c.fake.logFiles.failAt;
    c.fake.logFiles.failAt = -1;
    ProgramState next;
    fakes::FakePasswordPrompt prompt;
    StartUp(next, c.fake.ports, {}, 1024, 768, prompt);
    EXPECT_FALSE(c.fake.logFiles.Exists(kCallRecordFileName));
    return std::pair(c.fake.logFiles.files[kLogFileName], killed);
  };
  const std::string whole = logged(-1).first;
  ASSERT_EQ(std::count(whole.begin(), whole.end(), '\n'), 3);
  bool killed = true;
  for (long killAt = 0; killed; ++killAt) {
    SCOPED_TRACE(killAt);
    std::string log;
    std::tie(log, killed) = logged(killAt);
    EXPECT_EQ(log, whole);
  }
}

// A program that ended without its own end left its call in progress. The next start hangs
// up a connection that is still the call's (the very activation of the call, a moment after
// the record's last look), the call ending then, and logs every call once; a listing leaves
// such a call in progress and its connection up. Any other call ended at the last look.
TEST(CallRecord, TheNextStartEndsAndLogsALeftoverCallOnce) {
  const DateTime lastLook{1999, 6, 10, 12, 2, 0};
  const DateTime minuteLater{1999, 6, 10, 12, 3, 0};
  const struct {
    const char* what;
    ConnectionHandle up;     // the connection's handle now; 0: it is gone
    const char* dialler;     // the record's; the start's is "simulated"
    const char* activation;  // the record's
    DateTime now;
    StillUp stillUp;
    bool hungUp;
    const char* duration;  // 90 s at the last look; nothing: not logged
  } cases[] = {
      {"the call's", 5, "simulated", "5", minuteLater, StillUp::kHangUp, true, "0150"},
      {"listed", 5, "simulated", "5", minuteLater, StillUp::kLeave, false, nullptr},
      {"gone", 0, "simulated", "5", minuteLater, StillUp::kHangUp, false, "0090"},
      {"another dialler's", 5, "NetworkManager", "5", minuteLater, StillUp::kHangUp, false, "0090"},
      {"another activation", 6, "simulated", "5", minuteLater, StillUp::kHangUp, false, "0090"},
      {"an older record's", 5, "simulated", "", minuteLater, StillUp::kHangUp, false, "0090"},
      {"nine days on",
       5,
       "simulated",
       "5",
       {1999, 6, 19, 12, 3, 0},
       StillUp::kHangUp,
       false,
       "0090"},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.what);
    fakes::FakePorts fake;
    CallRecord left{
        "Title",  "Provider", t.dialler, kLoggingProfile, true,        1, {1999, 6, 10, 12, 0, 30},
        lastLook, 90,         {},        t.activation,    std::nullopt};
    StoreCallRecords(fake.logFiles, {left});
    if (t.up != 0) fake.remote.open["Provider"] = t.up;
    fake.clock.now = {t.now.year, t.now.month, t.now.day, t.now.hour, t.now.minute, 0, 0};
    ProgramState state;
    state.dialler = "simulated";
    fakes::FakePasswordPrompt prompt;
    for (int start = 0; start < 2; ++start) {
      if (t.stillUp == StillUp::kHangUp) {
        StartUp(state, fake.ports, {}, 1024, 768, prompt);
      } else {
        FinishLeftoverCalls(state.calls, fake.logFiles, fake.logState, state.holidays,
                            state.dialler, fake.remote, t.now, t.stillUp, fake.dialogs);
      }
    }
    EXPECT_EQ(fake.remote.hungUp.size(), t.hungUp ? 1u : 0u);
    auto log = ReadAllLines(fake.logFiles, kLogFileName);
    if (!t.duration) {
      EXPECT_TRUE(log.empty());
      EXPECT_EQ(ReadCallRecords(fake.logFiles), std::vector<CallRecord>{left});
      continue;
    }
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(Duration(log[0]), t.duration);
    EXPECT_FALSE(fake.logFiles.Exists(kCallRecordFileName));
  }
}

}  // namespace
}  // namespace norvax
