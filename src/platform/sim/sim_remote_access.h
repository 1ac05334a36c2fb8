// The remote-access service of the simulated dialler: dials the connections of the
// phonebook (sim_phonebook.h) as their scripts say and keeps the connections that come up in
// SimConnections, where every process of the user sees them.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/remote_access.h"
#include "platform/sim/sim_connections.h"
#include "platform/sim/sim_phonebook.h"

namespace norvax {

// The error codes the simulated dialler reports of its own.
namespace sim_error {
inline constexpr int kUnknownEntry = 623;
inline constexpr int kLineBusy = 676;
inline constexpr int kNoAnswer = 678;
inline constexpr int kAccessDenied = 691;
inline constexpr int kInvalidHandle = 6;
}  // namespace sim_error

// Dials run on threads of the adapter's own: DialEntry returns at once and the progress
// arrives after the attempt's scripted delay. HangUp of an attempt still in progress
// cancels it and waits until its thread has finished, so the notifier must not wait for
// the thread that hangs up (hand the notification over without blocking). The phonebook is
// read afresh on each call, so edits take effect without a restart; a missing file is an
// empty book.
class SimRemoteAccess : public RemoteAccess {
 public:
  explicit SimRemoteAccess(std::string phonebookPath);
  ~SimRemoteAccess() override;
  SimRemoteAccess(const SimRemoteAccess&) = delete;
  SimRemoteAccess& operator=(const SimRemoteAccess&) = delete;

  std::vector<std::string> EnumPhonebookEntries() override;
  std::optional<std::string> GetEntryPhoneNumber(const std::string& connection) override;
  std::optional<std::string> ErrorString(int code) override;
  int FindConnection(const std::string& entryName, ConnectionHandle& connection) override;
  int GetConnectState(ConnectionHandle connection, int& state) override;
  // A connection's handle, which the simulated dialler never gives out twice.
  std::string ActivationOf(ConnectionHandle connection) override;
  bool HangUp(ConnectionHandle connection) override;
  int DialEntry(const std::string& entryName, const std::string& userName,
                const std::string& password, const std::string& dialNumber, DialNotifier notifier,
                ConnectionHandle& connection, std::string& errorText) override;

  Phonebook Load() const;

  // The number of the last dial accepted or refused; nothing before the first.
  std::optional<std::string> LastDialNumber() const;

 private:
  struct Dial;

  SimConnections Connections() const;
  void Run(Dial& dial, DialStepScript step, bool credentialsAccepted);
  bool Deliver(Dial& dial, int state, int errorCode);
  void ReapFinished();

  std::string path_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::map<std::string, int> attemptsMade_;
  std::map<ConnectionHandle, std::unique_ptr<Dial>> dials_;
  std::vector<std::unique_ptr<Dial>> hungUp_;  // threads still to be joined
  std::optional<std::string> lastDialNumber_;
};

}  // namespace norvax
