#include "platform/sim/sim_remote_access.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "dialup/ras_messages.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;
using Step = std::pair<int, int>;  // connection state, error code
using Steps = std::vector<Step>;

constexpr auto kPatience = std::chrono::seconds(20);

// Collects the notifications of one dial and the threads they arrived on.
class Recorder {
 public:
  DialNotifier Notifier() {
    return [this](int message, int state, int error) {
      std::lock_guard lock(mutex_);
      messages_.push_back(message);
      steps_.emplace_back(state, error);
      threads_.push_back(std::this_thread::get_id());
      arrived_.notify_all();
    };
  }

  // Waits until the dial has ended: an error or the connected state arrived.
  bool WaitForEnd() {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, kPatience, [&] {
      return !steps_.empty() &&
             (steps_.back().second != 0 || steps_.back().first == kConnectedState);
    });
  }

  bool WaitForCount(std::size_t count) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, kPatience, [&] { return steps_.size() >= count; });
  }

  Steps Get() const {
    std::lock_guard lock(mutex_);
    return steps_;
  }
  std::vector<int> Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  std::vector<std::thread::id> Threads() const {
    std::lock_guard lock(mutex_);
    return threads_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  Steps steps_;
  std::vector<int> messages_;
  std::vector<std::thread::id> threads_;
};

const Steps kConnected = {{4, 0}, {6, 0}, {19, 0}, {kConnectedState, 0}};
const Steps kDenied = {{4, 0}, {6, 0}, {19, 0}, {19, 691}};

class SimDialTest : public ::testing::Test {
 protected:
  // One connection "Net" (user taro, password secret) with the attempts given.
  void WriteBook(const std::vector<std::string>& attempts, const std::string& extra = "") {
    std::string text =
        "[Connections]\n1=Net\n2=Open\n[Connection:Net]\nPhone=03-1234\n"
        "User=taro\nPassword=secret\n";
    for (std::size_t i = 0; i < attempts.size(); ++i) {
      text += "Attempt" + std::to_string(i + 1) + "=" + attempts[i] + "\n";
    }
    text += "[Connection:Open]\nPhone=0120\nAttempt1=connect 1\n" + extra;
    testing::WriteFile(dir / kPhonebookFileName, text);
  }

  std::string BookPath() const { return (dir / kPhonebookFileName).string(); }
  SimConnections Connections() const {
    return SimConnections((dir / kSimConnectionsFileName).string());
  }

  // Dials and waits for the end of the attempt.
  Steps DialToEnd(SimRemoteAccess& remote, const std::string& name, const std::string& user,
                  const std::string& password, ConnectionHandle* handleOut = nullptr) {
    Recorder recorder;
    ConnectionHandle handle = 0;
    std::string error;
    EXPECT_EQ(remote.DialEntry(name, user, password, "0312341", recorder.Notifier(), handle, error),
              0)
        << error;
    EXPECT_NE(handle, 0u);
    EXPECT_TRUE(recorder.WaitForEnd());
    if (handleOut) *handleOut = handle;
    return recorder.Get();
  }

  testing::TempDir dir;
};

TEST_F(SimDialTest, EachOutcomeDeliversItsSequenceOnAnotherThread) {
  struct Case {
    const char* script;
    Steps expected;
    bool comesUp;
  } cases[] = {
      {"connect 2", kConnected, true},    {"busy 2", {{2, 676}}, false},
      {"noanswer 0", {{2, 678}}, false},  {"badpassword 3", kDenied, false},
      {"error 800 1", {{2, 800}}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    WriteBook({c.script});
    Recorder recorder;
    ConnectionHandle handle = 0;
    {
      SimRemoteAccess remote(BookPath());
      std::string error;
      ASSERT_EQ(
          remote.DialEntry("Net", "taro", "secret", "0312341", recorder.Notifier(), handle, error),
          0);
      ASSERT_TRUE(recorder.WaitForEnd());
      ConnectionHandle found = 0;
      EXPECT_EQ(remote.FindConnection("Net", found), 0);
      EXPECT_EQ(found, c.comesUp ? handle : 0u);
      int state = -1;
      EXPECT_EQ(remote.GetConnectState(handle, state), 0) << "open until hung up";
      if (c.comesUp) {
        EXPECT_EQ(state, kConnectedState);
      }
      EXPECT_TRUE(remote.HangUp(handle));
      EXPECT_NE(remote.GetConnectState(handle, state), 0);
    }  // every dial thread has ended here
    EXPECT_EQ(recorder.Get(), c.expected) << "nothing more after the end";
    for (int message : recorder.Messages()) EXPECT_EQ(message, kDialEventMessage);
    for (auto id : recorder.Threads()) EXPECT_NE(id, std::this_thread::get_id());
    EXPECT_FALSE(Connections().Find("Net"));
  }
}

TEST_F(SimDialTest, FollowsTheScriptPerAttemptAndRepeatsTheLast) {
  WriteBook({"busy 1", "noanswer 1", "connect 1"});
  SimRemoteAccess remote(BookPath());
  const Steps expected[] = {{{2, 676}}, {{2, 678}}, kConnected, kConnected};
  for (const auto& steps : expected) {
    ConnectionHandle handle = 0;
    EXPECT_EQ(DialToEnd(remote, "Net", "taro", "secret", &handle), steps);
    remote.HangUp(handle);
  }
  EXPECT_EQ(DialToEnd(remote, "Open", "", ""), kConnected) << "attempts count per connection";
  SimRemoteAccess fresh(BookPath());
  EXPECT_EQ(DialToEnd(fresh, "Net", "taro", "secret"), (Steps{{2, 676}}))
      << "a new service starts with the first attempt";
}

TEST_F(SimDialTest, ChecksTheCredentialsThePhonebookLists) {
  WriteBook({"connect 0"});
  struct Case {
    const char* name;
    const char* user;
    const char* password;
    Steps expected;
  } cases[] = {
      {"Net", "taro", "secret", kConnected},      {"Net", "jiro", "secret", kDenied},
      {"Net", "taro", "Secret", kDenied},         {"Net", "", "", kDenied},
      {"Open", "anyone", "anything", kConnected},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.user) + "/" + c.password);
    SimRemoteAccess remote(BookPath());
    ConnectionHandle handle = 0;
    EXPECT_EQ(DialToEnd(remote, c.name, c.user, c.password, &handle), c.expected);
    remote.HangUp(handle);
  }
}

TEST_F(SimDialTest, RefusesAnUnknownConnection) {
  WriteBook({"connect 0"});
  SimRemoteAccess remote(BookPath());
  Recorder recorder;
  ConnectionHandle handle = 77;
  std::string error;
  EXPECT_EQ(
      remote.DialEntry("Nowhere", "taro", "secret", "1231", recorder.Notifier(), handle, error), 1);
  EXPECT_EQ(handle, 77u);
  EXPECT_EQ(error, Sjis("電話帳のエントリが見つかりません。"));
  EXPECT_EQ(remote.LastDialNumber(), "1231");
  EXPECT_EQ(DialToEnd(remote, "Net", "taro", "secret"), kConnected)
      << "a refused dial is no attempt";
  EXPECT_EQ(remote.LastDialNumber(), "0312341");
}

TEST_F(SimDialTest, HangUpDuringTheDelayDeliversNothing) {
  WriteBook({"connect 600000"});
  Recorder recorder;
  {
    SimRemoteAccess remote(BookPath());
    ConnectionHandle handle = 0;
    std::string error;
    ASSERT_EQ(remote.DialEntry("Net", "taro", "secret", "1", recorder.Notifier(), handle, error),
              0);
    int state = -1;
    EXPECT_EQ(remote.GetConnectState(handle, state), 0) << "a dial in progress";
    EXPECT_TRUE(remote.HangUp(handle)) << "wakes the dial instead of waiting ten minutes";
    EXPECT_NE(remote.GetConnectState(handle, state), 0);
    EXPECT_FALSE(remote.HangUp(handle));
  }
  EXPECT_TRUE(recorder.Get().empty());
  EXPECT_FALSE(Connections().Find("Net"));
}

TEST_F(SimDialTest, NothingArrivesAfterHangUpHasReturned) {
  WriteBook({"connect 0"});
  SimRemoteAccess remote(BookPath());
  for (int i = 0; i < 40; ++i) {
    Recorder recorder;
    ConnectionHandle handle = 0;
    std::string error;
    ASSERT_EQ(remote.DialEntry("Net", "taro", "secret", "1", recorder.Notifier(), handle, error),
              0);
    if (i % 2 == 1) std::this_thread::yield();
    remote.HangUp(handle);
    const auto seen = recorder.Get().size();
    EXPECT_FALSE(Connections().Find("Net")) << "round " << i;
    ConnectionHandle found = 0;
    remote.FindConnection("Net", found);
    EXPECT_EQ(found, 0u);
    // A notification sent after HangUp would be caught by the next dial's wait at the latest.
    Recorder next;
    ConnectionHandle other = 0;
    ASSERT_EQ(remote.DialEntry("Open", "", "", "1", next.Notifier(), other, error), 0);
    ASSERT_TRUE(next.WaitForEnd());
    remote.HangUp(other);
    EXPECT_EQ(recorder.Get().size(), seen) << "round " << i;
  }
}

TEST_F(SimDialTest, HangUpFromTheNotifierEndsTheDial) {
  WriteBook({"connect 0"});
  Recorder recorder;
  {
    SimRemoteAccess remote(BookPath());
    ConnectionHandle handle = 0;
    std::mutex m;
    std::string error;
    auto inner = recorder.Notifier();
    std::unique_lock dialling(m);  // the notifier reads the handle only after it was set
    ASSERT_EQ(remote.DialEntry(
                  "Net", "taro", "secret", "1",
                  [&](int message, int state, int code) {
                    inner(message, state, code);
                    std::lock_guard lock(m);
                    if (state == 6) remote.HangUp(handle);
                  },
                  handle, error),
              0);
    dialling.unlock();
    ASSERT_TRUE(recorder.WaitForCount(2));
  }
  EXPECT_EQ(recorder.Get(), (Steps{{4, 0}, {6, 0}}));
  EXPECT_FALSE(Connections().Find("Net"));
}

TEST_F(SimDialTest, ConnectionAndItsActivationAreVisibleToAnotherService) {
  WriteBook({"connect 1"});
  SimRemoteAccess dialler(BookPath());
  SimRemoteAccess other(BookPath());
  ConnectionHandle handle = 0;
  ASSERT_EQ(DialToEnd(dialler, "Net", "taro", "secret", &handle), kConnected);
  ConnectionHandle found = 0;
  EXPECT_EQ(other.FindConnection("Net", found), 0);
  EXPECT_EQ(found, handle);
  int state = 0;
  EXPECT_EQ(other.GetConnectState(handle, state), 0);
  EXPECT_EQ(state, kConnectedState);
  EXPECT_NE(dialler.ActivationOf(handle), "");
  EXPECT_EQ(other.ActivationOf(handle), dialler.ActivationOf(handle));
  EXPECT_TRUE(other.HangUp(handle));
  EXPECT_NE(dialler.GetConnectState(handle, state), 0) << "taken down elsewhere";
  EXPECT_EQ(dialler.ActivationOf(handle), "");
}

TEST(SimConnectionsHandles, DialHandlesNeverMeetOtherConnections) {
  testing::TempDir dir;
  SimConnections connections((dir / kSimConnectionsFileName).string());
  const uint32_t dial = connections.NewHandle();
  const uint32_t dialog = connections.BringUp("Dialog");
  EXPECT_NE(dial, dialog);
  EXPECT_NE(connections.NewHandle(), dial) << "a handle is given out once";
  connections.BringUpAs(dial, "Net");
  EXPECT_EQ(connections.Find("Net"), dial);
  EXPECT_EQ(connections.Find("Dialog"), dialog);
  connections.BringUpAs(dialog + 100, "Dialog");
  EXPECT_EQ(connections.Find("Dialog"), dialog + 100) << "one record per connection";
  EXPECT_FALSE(connections.NameOf(dialog));
  EXPECT_GT(connections.BringUp("Third"), dialog + 100);
}

TEST(SimErrorString, PlatformTextForCodesWithoutARow) {
  testing::TempDir dir;
  SimRemoteAccess remote((dir / kPhonebookFileName).string());
  EXPECT_EQ(StateText(0, 800, remote), Sjis("エラー 800 が発生しました。"));
  EXPECT_EQ(StateText(0, 676, remote), RasErrorText(676)) << "the table comes first";
  EXPECT_EQ(remote.ErrorString(5), Sjis("エラー 5 が発生しました。"));
}

}  // namespace
}  // namespace norvax
