// Port: the remote-access (dial-up) service. Texts are CP932.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace norvax {

// An open dial-up connection; 0 is none.
using ConnectionHandle = std::uint32_t;

// Connection states reported by GetConnectState and the progress notifications.
inline constexpr int kConnectedState = 8192;

// The message number of every progress notification, as the real service sends it.
inline constexpr int kDialEventMessage = 0xCCCD;

// Progress of a dial attempt (message number, connection state, error code; the error code
// is not 0 when the attempt failed). Called on a thread of the service, not the caller's.
using DialNotifier = std::function<void(int message, int connectionState, int errorCode)>;

class RemoteAccess {
 public:
  virtual ~RemoteAccess() = default;

  // Names of the phonebook's connections, in phonebook order.
  virtual std::vector<std::string> EnumPhonebookEntries() = 0;

  // Why EnumPhonebookEntries is not the whole phonebook now (the service does not answer, or
  // its list is still being read), or nothing when it is.
  virtual std::optional<std::string> PhonebookProblem() { return std::nullopt; }

  // The phone number the phonebook holds for a connection; nothing when it has none or
  // the connection is unknown.
  virtual std::optional<std::string> GetEntryPhoneNumber(const std::string& connection) = 0;

  // The platform's own text for an error code; nothing when it has none.
  virtual std::optional<std::string> ErrorString(int code) = 0;

  // Looks for an open connection of that phonebook name (made by this program or any
  // other) and sets connection to its handle; leaves it unchanged when there is none.
  // Returns 0, or 9 when the open connections cannot be listed (now). Never waits for a
  // service that is slow to answer.
  virtual int FindConnection(const std::string& entryName, ConnectionHandle& connection) = 0;

  // The state of an open connection: returns 0 and sets state, or an error code (1 for no
  // handle, another code when the connection is gone).
  virtual int GetConnectState(ConnectionHandle connection, int& state) = 0;

  // What tells this activation of an open connection apart from every other, the earlier
  // and later ones of the same connection included, also to another process and after a
  // restart of the service or of the machine; empty when the connection is not open or the
  // service cannot tell. Answers at once from what the service said last.
  virtual std::string ActivationOf(ConnectionHandle connection) = 0;

  // Ends a connection, or the dial attempt of that handle; true when it was open.
  virtual bool HangUp(ConnectionHandle connection) = 0;

  // Starts dialling a phonebook connection with the user name, password and number given;
  // the progress arrives through notifier. Returns 0 and sets connection to the attempt's
  // handle when the dial has started, or 1 with the platform's text for the error in
  // errorText when it was refused.
  virtual int DialEntry(const std::string& entryName, const std::string& userName,
                        const std::string& password, const std::string& dialNumber,
                        DialNotifier notifier, ConnectionHandle& connection,
                        std::string& errorText) = 0;
};

}  // namespace norvax
