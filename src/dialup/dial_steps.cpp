#include "dialup/dial_steps.h"

#include "core/program_state.h"
#include "dialup/connection_log.h"
#include "platform/clock.h"
#include "platform/processes.h"
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

namespace {

// The record of the session's call, from the connection's start.
CallRecord SessionCall(const ProgramState& state) {
  const DialSession& session = state.session;
  CallRecord call;
  if (session.entry >= 0 && static_cast<std::size_t>(session.entry) < state.table.Count()) {
    call.entry = state.table.Value(static_cast<std::size_t>(session.entry), Column::Title);
  }
  call.connection = session.entryName;
  call.dialler = state.dialler;
  call.profile = session.profileText;
  call.log = session.profileParsed && session.profile.log == '1';
  call.attempts = session.attempts;
  call.start = call.refreshed = session.startTime;
  return call;
}

// The session's call among the calls, if it is there.
CallRecord* FindSessionCall(ProgramState& state) {
  for (CallRecord& call : state.calls) {
    if (call.start == state.session.startTime && call.connection == state.session.entryName) {
      return &call;
    }
  }
  return nullptr;
}

}  // namespace

void BeginCall(ProgramState& state, Ports& ports) {
  // One call per connection is in progress: a repeated notice of the same connection
  // replaces its record.
  std::erase_if(state.calls, [&](const CallRecord& c) {
    return !c.Ended() && c.connection == state.session.entryName;
  });
  state.calls.push_back(SessionCall(state));
  state.calls.back().activation = ports.remote.ActivationOf(state.session.connection);
  try {
    StoreCallRecords(ports.logFiles, state.calls);
  } catch (const FileError& e) {
    ports.dialogs.ShowError(e.Message());
    return;
  }
  // Should the program end without finishing the call, the guardian finishes it as the
  // next start would, at once.
  ports.processes.GuardCall();
}

void RefreshCall(ProgramState& state, Ports& ports) {
  const DialSession& session = state.session;
  CallRecord* call = session.startTime == DateTime{} ? nullptr : FindSessionCall(state);
  if (!call || call->Ended()) return;
  call->refreshed = DateTime::From(ports.clock.Now());
  call->seconds =
      DurationSeconds(session.startTick, ports.clock.Ticks(), session.startTime, call->refreshed);
  try {
    StoreCallRecords(ports.logFiles, state.calls);
  } catch (const FileError&) {
    // The next look tries again; meanwhile the record's earlier look stands for the call.
  }
}

void LogStep(ProgramState& state, Ports& ports, UserDialogs& report, LockWait wait) {
  DialSession& session = state.session;
  // Only a connection that came up in this launch and was hung up is a call that ended. Once
  // it has joined the ended calls it is no longer the session's: a second log step logs it
  // no more.
  if (session.startTime != DateTime{} && session.endTime != DateTime{}) {
    CallRecord* call = FindSessionCall(state);
    if (!call) call = &state.calls.emplace_back(SessionCall(state));
    if (!call->Ended()) {
      call->log = session.profileParsed && session.profile.log == '1';
      call->end = call->refreshed = session.endTime;
      call->seconds =
          DurationSeconds(session.startTick, session.endTick, session.startTime, session.endTime);
    }
    session.startTime = {};
  }
  WriteEndedCalls(state.calls, ports.logFiles, ports.logState, state.holidays, report, wait);
}

}  // namespace norvax
