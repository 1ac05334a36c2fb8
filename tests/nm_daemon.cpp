#include "nm_daemon.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <filesystem>

namespace norvax::testing {
namespace {

using namespace std::chrono_literals;

const char kNetworkManager[] = "/usr/sbin/NetworkManager";

}  // namespace

std::unique_ptr<NmDaemon> NmDaemon::Start(const std::vector<Keyfile>& connections,
                                          std::string& why) {
  if (geteuid() != 0) {
    why = "NetworkManager tests need root (unshare)";
    return nullptr;
  }
  if (access(kNetworkManager, X_OK) != 0 || access("/usr/bin/unshare", X_OK) != 0 ||
      access("/usr/bin/nsenter", X_OK) != 0) {
    why = "the network-manager package or unshare/nsenter is missing";
    return nullptr;
  }
  static int argc = 1;
  static char name[] = "norvax_x11_tests";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
  std::unique_ptr<NmDaemon> nm(new NmDaemon);
  const std::filesystem::path keyfiles = nm->dir_ / "keyfiles";
  std::filesystem::create_directories(keyfiles);
  for (const auto& [name, text] : connections) {
    WriteFile(keyfiles / name, text);
    std::filesystem::permissions(
        keyfiles / name, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  }
  WriteFile(nm->dir_ / "NetworkManager.conf",
            "[main]\nplugins=keyfile\ndns=none\nrc-manager=unmanaged\nauth-polkit=false\n"
            "no-auto-default=*\n[logging]\nlevel=DEBUG\n[keyfile]\npath=" +
                keyfiles.string() + "\nunmanaged-devices=interface-name:veth-peer\n");
  nm->bus_.emplace(
      std::vector<std::string>{"dbus-daemon",
                               "--config-file=" NORVAX_TEST_TOOLS_DIR "/system_bus.conf",
                               "--nofork", "--print-address"},
      std::vector<std::string>{});
  nm->address_ = nm->bus_->ReadLine(10s).value_or("");
  if (nm->address_.empty()) throw std::runtime_error("the test bus did not start");
  nm->holder_.emplace(
      std::vector<std::string>{"unshare", "--net", "--mount", "--propagation", "private",
                               NORVAX_TEST_TOOLS_DIR "/nm_netns.sh", nm->dir_.Path().string()},
      std::vector<std::string>{});
  if (!nm->holder_->WaitForLine("ready", 10s)) {
    why = "cannot make a network namespace here (unshare --net --mount failed)";
    return nullptr;
  }
  nm->netns_ =
      std::filesystem::read_symlink("/proc/" + std::to_string(nm->holder_->Pid()) + "/ns/net")
          .string();
  if (!nm->StartDaemon(why)) return nullptr;
  setenv("DBUS_SYSTEM_BUS_ADDRESS", nm->address_.c_str(), 1);
  return nm;
}

bool NmDaemon::StartDaemon(std::string& why) {
  // sh and nsenter replace themselves: the child's id is NetworkManager's.
  daemon_.emplace(
      std::vector<std::string>{
          "sh", "-c",
          "exec nsenter -t " + std::to_string(holder_->Pid()) + " --net --mount " +
              kNetworkManager + " --debug --config=\"$1/NetworkManager.conf\" >>\"$1/nm.log\" 2>&1",
          "sh", dir_.Path().string()},
      std::vector<std::string>{"DBUS_SYSTEM_BUS_ADDRESS=" + address_});
  if (WaitForNetworkManager(address_, true)) return true;
  why = "NetworkManager did not start: " + Log();
  return false;
}

NmDaemon::~NmDaemon() {
  daemon_.reset();
  // What NetworkManager started in the namespace (pppd) has no other way out.
  if (!netns_.empty() && holder_) {
    for (const auto& process : std::filesystem::directory_iterator("/proc")) {
      const std::string pid = process.path().filename().string();
      std::error_code error;
      if (pid.find_first_not_of("0123456789") != std::string::npos ||
          std::stoi(pid) == holder_->Pid() ||
          std::filesystem::read_symlink(process.path() / "ns/net", error).string() != netns_) {
        continue;
      }
      kill(std::stoi(pid), SIGKILL);
    }
  }
  holder_.reset();
  bus_.reset();
  unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

std::string NmDaemon::Log() const { return ReadFile(dir_ / "nm.log"); }

std::optional<std::string> NmDaemon::Nmcli(const std::vector<std::string>& args) const {
  std::vector<std::string> argv{"nmcli"};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess nmcli(argv, {"DBUS_SYSTEM_BUS_ADDRESS=" + address_});
  std::string output;
  while (auto line = nmcli.ReadLine(10s)) output += *line + "\n";
  const auto status = nmcli.WaitForExit(10s);
  if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) return std::nullopt;
  return output;
}

}  // namespace norvax::testing
