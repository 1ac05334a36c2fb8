// Texts of the dialler's connection states and error codes.
#pragma once

#include <string>

#include "platform/remote_access.h"

namespace norvax {

// The dial session states that a busy line changes.
namespace dial_state {
inline constexpr int kIdle = 0;
inline constexpr int kBusy = 3;
inline constexpr int kCancelled = 4;
}  // namespace dial_state

// The error code of a busy line; kConnectedState (remote_access.h) is the state of a
// connection that is up.
inline constexpr int kLineBusyError = 676;
// The error code of a connection the phonebook does not hold.
inline constexpr int kUnknownEntryError = 623;

// The system's text for a remote-access error code 600..752 (CP932); empty for a code
// without a row. For the busy line (676) a session state other than idle or cancelled
// becomes busy when sessionState is given.
std::string RasErrorText(int code, int* sessionState = nullptr);

// The status text of a progress notification: the error's text when errorCode is not 0
// (the platform's own text, at most 99 bytes, for codes without a row), else the text of
// the connection state (empty when the state has none).
std::string StateText(int connectionState, int errorCode, RemoteAccess& access,
                      int* sessionState = nullptr);

}  // namespace norvax
