#include "dialup/dial_steps.h"

#include "core/program_state.h"
#include "dialup/connection_log.h"
#include "platform/clock.h"
#include "platform/user_dialogs.h"

namespace norvax {

bool BrowserEndHangsUp(const ProgramState& state) {
  const DialSession& session = state.session;
  return state.prefs.IsOn(HangUpOnBrowserExit) ||
         (session.profileParsed && session.profile.log == '1');
}

bool HangUpDialUnderWay(ProgramState& state, Ports& ports) {
  DialSession& session = state.session;
  if (session.state == kSessionIdle || session.state == kSessionConnected) return false;
  if (session.connection != 0) ports.remote.HangUp(session.connection);
  session.connection = 0;
  session.state = kSessionIdle;
  return true;
}

void HangUpStep(ProgramState& state, Ports& ports) {
  DialSession& session = state.session;
  if (session.connection == 0) return;
  ports.remote.HangUp(session.connection);
  session.connection = 0;
  session.endTick = ports.clock.Ticks();
  session.endTime = DateTime::From(ports.clock.Now());
}

void LogStep(ProgramState& state, Ports& ports) {
  const DialSession& session = state.session;
  if (!session.profileParsed || session.profile.log != '1') return;
  // Only a connection that came up in this launch is a call.
  if (session.startTime == DateTime{}) return;
  LoggedConnection connection{
      session.entryName, session.startTime, session.endTime,
      DurationSeconds(session.startTick, session.endTick, session.startTime, session.endTime),
      session.attempts};
  try {
    auto pending =
        WriteLogLine(ports.logState, ports.logFiles, state.holidays, connection, session.profile);
    if (pending) ports.dialogs.ShowError(pending->Message());
  } catch (const WriteError& e) {
    ports.dialogs.ShowError(e.Message());
  } catch (const FileError& e) {
    ports.dialogs.ShowError(e.Message());
  }
}

}  // namespace norvax
