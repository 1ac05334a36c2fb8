#include "launch/start_process.h"

#include <algorithm>

#include "core/program_state.h"
#include "platform/clock.h"
#include "platform/program_control.h"
#include "platform/window_system.h"

namespace norvax {
namespace {

WindowId FirstWindowOf(WindowSystem& windows, const std::vector<std::uint32_t>& processes) {
  for (WindowId w : windows.TopLevelWindows()) {
    if (std::ranges::find(processes, windows.ProcessId(w)) != processes.end()) return w;
  }
  return 0;
}

}  // namespace

ProcessHandle StartBrowser(ProgramState& state, Ports& ports) {
  StopBrowserWatch(state, ports);
  LaunchState& launch = state.launch;
  BrowserWatch& watch = launch.browser;
  watch = BrowserWatch{};
  watch.process =
      ports.processes.Start(launch.browserProgram, launch.workDirectory, launch.browserEnvironment);
  if (watch.process == 0) return 0;
  watch.startTick = ports.clock.Ticks();
  watch.watching = true;
  ports.program.StartReadyTimer();
  return watch.process;
}

void BrowserReadyTimer(ProgramState& state, Ports& ports) {
  BrowserWatch& watch = state.launch.browser;
  if (!watch.watching) return;
  const auto processes = ports.processes.ProcessTree(watch.process);
  const WindowId window = processes.empty() ? 0 : FirstWindowOf(ports.windows, processes);
  if (window != 0) {
    watch.windowSeen = true;
    if (state.launch.maximise) ports.windows.Maximise(window);
  }
  if (window != 0 || processes.empty() || ports.clock.Ticks() - watch.startTick >= kReadyWatchMs) {
    StopBrowserWatch(state, ports);
  }
}

void StopBrowserWatch(ProgramState& state, Ports& ports) {
  BrowserWatch& watch = state.launch.browser;
  if (!watch.watching) return;
  watch.watching = false;
  ports.program.StopReadyTimer();
}

void RaiseBrowser(ProgramState& state, Ports& ports) {
  if (state.session.browserProcess == 0) return;
  const auto processes = ports.processes.ProcessTree(state.session.browserProcess);
  const WindowId window = processes.empty() ? 0 : FirstWindowOf(ports.windows, processes);
  if (window != 0) ports.windows.SetForeground(window);
}

bool BrowserHandedOver(const ProgramState& state, Ports& ports) {
  const BrowserWatch& watch = state.launch.browser;
  return !watch.windowSeen && ports.clock.Ticks() - watch.startTick < kHandOverMs;
}

}  // namespace norvax
