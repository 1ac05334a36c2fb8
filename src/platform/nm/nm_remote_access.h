// The remote-access service of a Linux desktop: NetworkManager over the system D-Bus. Its
// saved connections are the phonebook (by connection name), activating one is a dial,
// deactivating it the hang-up.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/remote_access.h"

class QThread;

namespace norvax {

// All talk with the service runs on a thread of the adapter's own, where the state
// signals of the connections and devices arrive and the saved and active connections are
// read in the background: only DialEntry (and the waits for programs without windows) waits
// for the service; the other calls answer at once with what the service said last. The
// progress of a dial reaches the notifier on that thread, so the notifier must not wait for
// the thread that calls this adapter (hand the notification over without blocking). The
// entry's user name and password reach the service through a secret agent the adapter
// registers at the first dial that has them. A QCoreApplication must exist.
class NmRemoteAccess : public RemoteAccess {
 public:
  // $DBUS_SYSTEM_BUS_ADDRESS, else the standard socket of the system bus.
  static std::string SystemBusAddress();

  // A call the service does not answer within timeout counts as the service not answering.
  explicit NmRemoteAccess(const std::string& busAddress = SystemBusAddress(),
                          std::chrono::milliseconds timeout = std::chrono::seconds(10));
  ~NmRemoteAccess() override;
  NmRemoteAccess(const NmRemoteAccess&) = delete;
  NmRemoteAccess& operator=(const NmRemoteAccess&) = delete;

  // True when NetworkManager has its name on the bus (the bus answers this, not the service).
  bool ServiceOnBus();
  // Waits until the saved connections have been read (at most twice the timeout): why they
  // cannot be listed, or nothing. For programs without windows.
  std::optional<std::string> WaitForPhonebook();
  // Waits until the active connections have been read (at most twice the timeout), so that
  // FindConnection can list them. For programs without windows.
  void WaitForActiveConnections();

  std::vector<std::string> EnumPhonebookEntries() override;
  std::optional<std::string> PhonebookProblem() override;
  std::optional<std::string> GetEntryPhoneNumber(const std::string& connection) override;
  std::optional<std::string> ErrorString(int code) override;
  int FindConnection(const std::string& entryName, ConnectionHandle& connection) override;
  // The active connection's path, with the service's bus name and the machine's boot.
  std::string ActivationOf(ConnectionHandle connection) override;
  int GetConnectState(ConnectionHandle connection, int& state) override;
  bool HangUp(ConnectionHandle connection) override;
  int DialEntry(const std::string& entryName, const std::string& userName,
                const std::string& password, const std::string& dialNumber, DialNotifier notifier,
                ConnectionHandle& connection, std::string& errorText) override;

 private:
  class Worker;

  template <class F>
  auto OnWorker(F&& work);

  std::unique_ptr<QThread> thread_;
  std::unique_ptr<Worker> worker_;
};

}  // namespace norvax
