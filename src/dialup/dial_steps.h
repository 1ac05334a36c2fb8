// Steps of a dial session that run on the main thread.
#pragma once

namespace norvax {

struct ProgramState;
struct Ports;

// Whether the end of browsing hangs up (and logs) the connection: preference 24, or a
// profile that keeps a log.
bool BrowserEndHangsUp(const ProgramState& state);

// Hangs up a dial that has not connected yet and ends its session; false when no dial is
// under way (idle or connected).
bool HangUpDialUnderWay(ProgramState& state, Ports& ports);

// After the browser has ended: hangs up a connection that is held and records the end of
// the call.
void HangUpStep(ProgramState& state, Ports& ports);

// Appends the log line of the call that just ended (when the session's profile asks for
// a log and a connection came up). A file that cannot be written is reported to the user.
void LogStep(ProgramState& state, Ports& ports);

}  // namespace norvax
