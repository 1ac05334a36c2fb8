// How NetworkManager's failure reasons and errors become the dialler's error codes: a code
// of the remote-access message table where one says the same thing, else a code of the
// adapter's own with a text of its own (ErrorText).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace norvax::nm {

// Codes of the adapter's own, outside the message table's 600..752.
namespace error {
inline constexpr int kServiceGone = 20001;       // NetworkManager does not answer
inline constexpr int kPermissionDenied = 20002;  // the service refused the request
inline constexpr int kActivationFailed = 20003;  // any other error of an activation request
inline constexpr int kAgentRefused = 20004;      // the secret agent was not registered
inline constexpr int kPhonebookReading = 20005;  // the saved connections are being read
inline constexpr int kDeviceReasonBase = 21000;  // + a device state reason without a row
inline constexpr int kActiveReasonBase = 22000;  // + an active-connection reason without a row
}  // namespace error

// The code for a device that failed with that state reason (NMDeviceStateReason).
int DeviceFailure(unsigned reason);

// The code for an activation that ended with that active-connection reason
// (NMActiveConnectionStateReason); deviceReason is the last failure reason of its device,
// 0 when none.
int ActiveFailure(unsigned reason, unsigned deviceReason);

// The code for an error reply of the service (its D-Bus error name).
int RequestFailure(std::string_view errorName);

// The adapter's own text (CP932) for one of its codes; nothing for other codes.
std::optional<std::string> ErrorText(int code);

}  // namespace norvax::nm
