// The remote-access service of a Linux desktop: NetworkManager over the system D-Bus. Its
// saved connections are the phonebook (by connection name), activating one is a dial,
// deactivating it the hang-up.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/remote_access.h"

class QThread;

namespace norvax {

// All talk with the service runs on a thread of the adapter's own, where the state
// signals of the connections and devices arrive; the calls below wait for it. The
// progress of a dial reaches the notifier on that thread, so the notifier must not wait for
// the thread that calls this adapter (hand the notification over without blocking). The
// entry's user name and password reach the service through a secret agent the adapter
// registers at the first dial that has them. A QCoreApplication must exist.
class NmRemoteAccess : public RemoteAccess {
 public:
  // $DBUS_SYSTEM_BUS_ADDRESS, else the standard socket of the system bus.
  static std::string SystemBusAddress();

  explicit NmRemoteAccess(const std::string& busAddress = SystemBusAddress());
  ~NmRemoteAccess() override;
  NmRemoteAccess(const NmRemoteAccess&) = delete;
  NmRemoteAccess& operator=(const NmRemoteAccess&) = delete;

  // True when NetworkManager answers on the bus.
  bool ServiceAnswers();

  std::vector<std::string> EnumPhonebookEntries() override;
  std::optional<std::string> GetEntryPhoneNumber(const std::string& connection) override;
  std::optional<std::string> ErrorString(int code) override;
  int FindConnection(const std::string& entryName, ConnectionHandle& connection) override;
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
