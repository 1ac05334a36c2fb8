#include "launch/launch.h"

#include "platform/cp932.h"
#include "platform/user_dialogs.h"

namespace norvax {

std::string LaunchBusyMessage() { return Sjis("NORVAX 起動（関連）処理中のため起動出来ません。"); }

bool LaunchGuardBlocks(const MainState& main) {
  return main.timerEnabled || main.timerBusy || main.watchThreadRunning;
}

void LaunchEntry(ProgramState& state, Ports& ports, int entry) {
  if (LaunchGuardBlocks(state.main)) {
    ports.dialogs.ShowError(LaunchBusyMessage());
    return;
  }
  if (state.prefs.IsOn(NoConnectNoBrowser)) return;
  if (entry < 0 || static_cast<std::size_t>(entry) >= state.table.Count()) return;
  // Connecting and starting the browser come with the launch subsystem.
}

}  // namespace norvax
