// Starting a browser (or any program an entry names).
#pragma once

#include <cstdint>
#include <string>

#include "platform/processes.h"

namespace norvax {

struct Ports;

// How long a start waits for the started program's first window.
inline constexpr uint32_t kWaitUntilIdleMs = 30000;
inline constexpr uint32_t kWaitUntilIdlePollMs = 100;

// Show modes a launch uses.
inline constexpr int kShowNormal = 1;
inline constexpr int kShowMaximised = 3;

// Starts the command line in directory (none when empty). With waitUntilIdle, waits at
// most kWaitUntilIdleMs for the program's first window (or its end); with show mode 3
// that window is maximised. 0 when the program could not be started.
ProcessHandle StartProcess(Ports& ports, bool waitUntilIdle, const std::string& commandLine,
                           const std::string& directory, int showMode);

}  // namespace norvax
