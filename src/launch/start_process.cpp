#include "launch/start_process.h"

#include "core/program_state.h"
#include "platform/clock.h"
#include "platform/window_system.h"

namespace norvax {
namespace {

WindowId FirstWindowOf(WindowSystem& windows, std::uint32_t pid) {
  for (WindowId w : windows.TopLevelWindows()) {
    if (windows.ProcessId(w) == pid) return w;
  }
  return 0;
}

}  // namespace

ProcessHandle StartProcess(Ports& ports, bool waitUntilIdle, const std::string& commandLine,
                           const std::string& directory, int showMode) {
  ProcessHandle process = ports.processes.Start(commandLine, directory);
  if (process == 0 || !waitUntilIdle) return process;
  const std::uint32_t pid = ports.processes.ProcessId(process);
  for (uint32_t waited = 0; waited < kWaitUntilIdleMs; waited += kWaitUntilIdlePollMs) {
    if (WindowId w = FirstWindowOf(ports.windows, pid)) {
      if (showMode == kShowMaximised) ports.windows.Maximise(w);
      break;
    }
    if (ports.processes.WaitForExit(process, 0)) break;
    ports.clock.Sleep(kWaitUntilIdlePollMs);
  }
  return process;
}

}  // namespace norvax
