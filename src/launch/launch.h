// Launching an entry: connect as the entry asks and start its browser.
#pragma once

#include <string>

#include "core/program_state.h"

namespace norvax {

// "NORVAX 起動（関連）処理中のため起動出来ません。"
std::string LaunchBusyMessage();

// True while a launch may not start: the main timer runs, a tick is being handled or the
// worker thread runs.
bool LaunchGuardBlocks(const MainState& main);

// Launches entry (0-based) on behalf of the main window. Refusals and failures are shown
// to the user. The guard and the "no connection, no browser" preference act now; the dial
// and browser roads are added with the launch subsystem.
void LaunchEntry(ProgramState& state, Ports& ports, int entry);

}  // namespace norvax
