// The real NetworkManager for tests, in a network and mount namespace of its own
// (tests/tools/nm_netns.sh) with a veth pair, its configuration, state and keyfiles in a
// private temporary directory, on a private bus of the system type (its address is
// DBUS_SYSTEM_BUS_ADDRESS of this process while the object lives). Needs root, unshare and
// the network-manager package.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "test_files.h"
#include "x11_env.h"

namespace norvax::testing {

class NmDaemon {
 public:
  // A saved connection: the keyfile's name and text.
  struct Keyfile {
    std::string name;
    std::string text;
  };

  // Nothing, with the reason in why, where the machine cannot run it. Makes the
  // QCoreApplication the adapter needs.
  static std::unique_ptr<NmDaemon> Start(const std::vector<Keyfile>& connections, std::string& why);
  // Ends NetworkManager, every other process of the namespace (pppd) and the bus, by
  // process id.
  ~NmDaemon();
  NmDaemon(const NmDaemon&) = delete;
  NmDaemon& operator=(const NmDaemon&) = delete;

  const std::string& Address() const { return address_; }
  // What NetworkManager has written to its log so far (debug level).
  std::string Log() const;
  // Runs nmcli on the bus with the arguments; its output, or nothing when it failed or
  // took more than 10 s.
  std::optional<std::string> Nmcli(const std::vector<std::string>& args) const;

 private:
  NmDaemon() = default;
  bool StartDaemon(std::string& why);

  TempDir dir_;
  std::optional<ChildProcess> bus_;
  std::optional<ChildProcess> holder_;  // holds the namespace
  std::optional<ChildProcess> daemon_;
  std::string address_;
  std::string netns_;  // the namespace's link (/proc/PID/ns/net)
};

}  // namespace norvax::testing
