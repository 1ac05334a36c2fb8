// Port: the remote-access (dial-up) service. Texts are CP932.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace norvax {

// An open dial-up connection; 0 is none.
using ConnectionHandle = std::uint32_t;

// Connection states reported by GetConnectState and the progress notifications.
inline constexpr int kConnectedState = 8192;

class RemoteAccess {
 public:
  virtual ~RemoteAccess() = default;

  // Names of the phonebook's connections, in phonebook order.
  virtual std::vector<std::string> EnumPhonebookEntries() = 0;

  // The phone number the phonebook holds for a connection; nothing when it has none or
  // the connection is unknown.
  virtual std::optional<std::string> GetEntryPhoneNumber(const std::string& connection) = 0;

  // The platform's own text for an error code; nothing when it has none.
  virtual std::optional<std::string> ErrorString(int code) = 0;

  // Looks for an open connection of that phonebook name (made by this program or any
  // other) and sets connection to its handle; leaves it unchanged when there is none.
  // Returns 0, or 9 when the open connections cannot be listed.
  virtual int FindConnection(const std::string& entryName, ConnectionHandle& connection) = 0;

  // The state of an open connection: returns 0 and sets state, or an error code (1 for no
  // handle, another code when the connection is gone).
  virtual int GetConnectState(ConnectionHandle connection, int& state) = 0;

  // Ends a connection; true when it was open.
  virtual bool HangUp(ConnectionHandle connection) = 0;
};

}  // namespace norvax
