// Port: the remote-access (dial-up) service. Texts are CP932.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace norvax {

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
};

}  // namespace norvax
