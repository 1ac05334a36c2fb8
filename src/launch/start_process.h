// Starting the browser of a launch and watching, without holding anything up, for its first
// window.
#pragma once

#include <cstdint>

#include "platform/processes.h"

namespace norvax {

struct ProgramState;
struct Ports;

// How long the watch for the browser's first window goes on, and how often it looks.
inline constexpr uint32_t kReadyWatchMs = 30000;
inline constexpr uint32_t kReadyTimerMs = 200;

// A browser whose processes all end this soon after its start, without a window of their
// own, handed the address to a browser that was already running (a launcher that passes
// the address on and ends) rather than being closed by the user.
inline constexpr uint32_t kHandOverMs = 10000;

// Starts the launch's browser (program, directory and maximise flag of the launch state)
// and the ready timer, which watches for the first window of the browser or of any program
// it starts (see BrowserReadyTimer). Returns at once; 0 when the program could not be
// started.
ProcessHandle StartBrowser(ProgramState& state, Ports& ports);

// A tick of the ready timer: once a window of the browser's processes shows, it is
// maximised when the entry asks for it and the watch ends; it also ends when all of the
// browser's processes have ended or after kReadyWatchMs.
void BrowserReadyTimer(ProgramState& state, Ports& ports);

// Ends the watch of the browser started last (a new launch, the end of the program).
void StopBrowserWatch(ProgramState& state, Ports& ports);

// Brings the window of the browser the launch started to the front, above the program's
// own windows that came back since; nothing when it has none (yet).
void RaiseBrowser(ProgramState& state, Ports& ports);

// Whether the browser, whose processes have all ended by now, handed over to a browser that
// was already running: no window of its own ever showed and it ended within kHandOverMs.
bool BrowserHandedOver(const ProgramState& state, Ports& ports);

}  // namespace norvax
