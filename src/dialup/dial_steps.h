// Steps of a dial session that run on the main thread.
#pragma once

#include "dialup/call_record.h"

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

// A connection of the session came up whose end is the program's (it hangs up when the
// browser ends): the call in progress joins the record of calls, in memory and in its file,
// and a guardian of the call is started.
void BeginCall(ProgramState& state, Ports& ports);

// Brings the record of the session's call in progress up to date (its last look and seconds
// so far).
void RefreshCall(ProgramState& state, Ports& ports);

// After the hang-up: the session's call (when a connection came up in this launch) joins the
// ended calls, and the log lines of every ended call, the older ones first, are written (when
// their profile asks for a log). Lines that cannot be written now are kept for the next log
// write, log move or start; report is told why and that they are kept.
void LogStep(ProgramState& state, Ports& ports, UserDialogs& report, LockWait wait);

}  // namespace norvax
