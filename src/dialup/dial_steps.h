// Steps of a dial session that run on the main thread.
#pragma once

namespace norvax {

struct ProgramState;
struct Ports;

// After the browser has ended: hangs up a connection that is held and records the end of
// the call.
void HangUpStep(ProgramState& state, Ports& ports);

// Appends the log line of the call that just ended (when the session's profile asks for
// a log and a connection came up). A file that cannot be written is reported to the user.
void LogStep(ProgramState& state, Ports& ports);

}  // namespace norvax
