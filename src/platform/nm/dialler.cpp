#include "platform/nm/dialler.h"

#include "dialup/ras_messages.h"
#include "platform/nm/nm_remote_access.h"
#include "platform/sim/sim_phonebook.h"
#include "platform/sim/sim_remote_access.h"

namespace norvax {

namespace {

// No service to dial with: an empty phonebook, every dial refused as an unknown entry.
class NoRemoteAccess : public RemoteAccess {
 public:
  std::vector<std::string> EnumPhonebookEntries() override { return {}; }
  std::optional<std::string> GetEntryPhoneNumber(const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> ErrorString(int) override { return std::nullopt; }
  int FindConnection(const std::string&, ConnectionHandle&) override { return 0; }
  int GetConnectState(ConnectionHandle connection, int&) override {
    return connection == 0 ? 1 : kInvalidHandle;
  }
  std::string ActivationOf(ConnectionHandle) override { return {}; }
  bool HangUp(ConnectionHandle) override { return false; }
  int DialEntry(const std::string&, const std::string&, const std::string&, const std::string&,
                DialNotifier, ConnectionHandle&, std::string& errorText) override {
    errorText = RasErrorText(kUnknownEntryError);
    return 1;
  }

 private:
  static constexpr int kInvalidHandle = 6;
};

}  // namespace

Dialler OpenDialler(const std::filesystem::path& directory) {
  const std::filesystem::path phonebook = directory / kPhonebookFileName;
  std::error_code error;
  if (std::filesystem::exists(phonebook, error)) {
    return {DiallerKind::Simulated, std::make_unique<SimRemoteAccess>(phonebook.string())};
  }
  auto nm = std::make_unique<NmRemoteAccess>();
  if (nm->ServiceOnBus()) return {DiallerKind::NetworkManager, std::move(nm)};
  return {DiallerKind::None, std::make_unique<NoRemoteAccess>()};
}

const char* DiallerName(DiallerKind kind) {
  switch (kind) {
    case DiallerKind::Simulated:
      return "simulated";
    case DiallerKind::NetworkManager:
      return "NetworkManager";
    case DiallerKind::None:
      break;
  }
  return "none";
}

}  // namespace norvax
