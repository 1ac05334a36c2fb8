#include "dialup/dial_session.h"

#include <algorithm>

#include "core/decimal.h"
#include "core/program_state.h"
#include "dialup/dial_steps.h"
#include "dialup/ras_messages.h"
#include "launch/keystrokes.h"
#include "launch/main_timer.h"
#include "launch/start_process.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/program_control.h"

namespace norvax {
namespace {

constexpr int kBusyPollRounds = 20;
constexpr uint32_t kWaitSliceMs = 100;

void Status(Ports& ports, const std::string& text) { ports.program.SetDialStatusText(text); }

// Starts the dial of the current attempt; the number ends in the redial digit.
void Dial(ProgramState& state, Ports& ports) {
  DialSession& session = state.session;
  const std::string number = session.dialNumber + RedialDigit(session.attempts);
  std::string errorText;
  auto notifier = [&state, &ports](int message, int connectionState, int errorCode) {
    ports.program.PostToMainThread([&state, &ports, message, connectionState, errorCode] {
      DialNotify(state, ports, message, connectionState, errorCode);
    });
  };
  if (ports.remote.DialEntry(session.entryName, session.userName, session.password, number,
                             notifier, session.connection, errorText) == 0) {
    session.state = kSessionDialling;
    session.notifyError.clear();
    return;
  }
  session.state = kSessionIdle;
  ShowDialError(state, ports, errorText);
  session.finished = true;
}

// Cancel pressed, or the program asked to end.
bool Stopped(const ProgramState& state) {
  return state.session.state == kSessionCancelled || state.main.ending;
}

// Lets time pass in short slices, so that a Cancel pressed (or the program closed)
// meanwhile ends the wait at once; false when it did.
bool WaitUnlessStopped(const ProgramState& state, Ports& ports, uint32_t milliseconds) {
  while (milliseconds > 0 && !Stopped(state)) {
    const uint32_t slice = std::min(milliseconds, kWaitSliceMs);
    ports.clock.Sleep(slice);
    milliseconds -= slice;
  }
  return !Stopped(state);
}

// The program ends during the dial: hang up, show nothing, start nothing new.
void EndDialForExit(DialSession& session, Ports& ports) {
  session.state = kSessionIdle;
  ports.remote.HangUp(session.connection);
  session.connection = 0;
  ports.program.CloseDialStatus();
}

// The line was busy: hang up and wait until the connection is gone. The busy error is
// dealt with here, so it never shows as the text of a later cancel.
void HangUpBusyLine(ProgramState& state, Ports& ports) {
  DialSession& session = state.session;
  Status(ports, Sjis("回線がビジーです"));
  ports.remote.HangUp(session.connection);
  session.notifyError.clear();
  if (!WaitUnlessStopped(state, ports, 1000)) return;
  Status(ports, Sjis("切断中..."));
  if (!WaitUnlessStopped(state, ports, 2000)) return;
  for (int round = 0; round < kBusyPollRounds; ++round) {
    if (!WaitUnlessStopped(state, ports, 1000)) return;
    int connectState = 0;
    if (ports.remote.GetConnectState(session.connection, connectState) != 0) break;
  }
}

// A browser started as the line came up, when the launch is aborted after all: it has no
// connection, so it is ended with every program it started, and no call is logged.
void EndBrowserOfAbortedLaunch(ProgramState& state, Ports& ports) {
  DialSession& session = state.session;
  StopBrowserWatch(state, ports);
  if (session.browserProcess != 0) ports.processes.Terminate(session.browserProcess);
  session.browserProcess = 0;
  session.startTime = {};
}

}  // namespace

std::string RedialDigit(int attempts) { return DecimalText(attempts % 4); }

std::string DialStatusText(const DialSession& session) {
  if (session.profile.redial != '1') return Sjis("ﾀﾞｲﾔﾙ中...    (ﾘﾀﾞｲﾔﾙ   なし)");
  return Sjis("ﾀﾞｲﾔﾙ中...    (") + DecimalText(session.attempts) + Sjis("回目  ") + " MAX " +
         DecimalText(session.profile.maximum) + Sjis("回  ") + Sjis(" 間隔 ") +
         DecimalText(session.profile.interval) + Sjis("秒)");
}

std::string BusyReport(int attempts) {
  return Sjis("回線がビジーです。  ﾀﾞｲﾔﾙ ") + DecimalText(attempts) + Sjis("回");
}

void StartDialSession(DialSession& session, const EntryTable& table, std::size_t entry) {
  session.notifyFailed = false;
  session.notifyError.clear();
  session.connection = 0;
  if (session.state == kSessionRelaunchRequested) {
    session.state = kSessionRelaunched;
    return;
  }
  session.profileText = table.Value(entry, Column::DialProfile);
  session.profile = ParseProfile(session.profileText);
  session.profileParsed = true;
  session.entry = static_cast<int>(entry);
  // No connection of this launch yet: nothing logs an earlier one's times.
  session.startTime = {};
  session.endTime = {};
  session.startTick = 0;
  session.endTick = 0;
  session.entryName = table.Value(entry, Column::Connection);
  session.userName = table.Value(entry, Column::Id);
  session.password = table.Value(entry, Column::Pass);
  session.dialNumber = session.profile.phone;
  session.attempts = 0;
  session.state = kSessionFirstDial;
}

void DialStep(ProgramState& state, Ports& ports) {
  DialSession& session = state.session;
  if (session.state == kSessionFirstDial) {
    ++session.attempts;
    ports.program.ShowDialStatus(Sjis("NORVAX  ") + session.entryName + Sjis("に接続中"),
                                 [&session] { CancelBtnClick(session); });
    Status(ports, DialStatusText(session));
    Dial(state, ports);
    return;
  }
  if (session.connection != 0) {
    HangUpBusyLine(state, ports);
    // Stopped during the hang-up: an exit ends the dial here, a Cancel leaves the session
    // to the worker's abort.
    if (state.main.ending) EndDialForExit(session, ports);
    if (Stopped(state)) return;
    if (session.attempts % 3 == 0) {
      session.finished = true;
      session.state = kSessionRelaunchRequested;
      ports.program.RequestRelaunch();
      return;
    }
  }
  if (session.attempts < session.profile.maximum && session.profile.redial == '1') {
    Status(ports, Sjis("待機中..."));
    const uint32_t interval = session.profile.interval > 2
                                  ? static_cast<uint32_t>(session.profile.interval - 2) * 1000
                                  : 0;
    if (!WaitUnlessStopped(state, ports, interval)) {
      if (state.main.ending) EndDialForExit(session, ports);
      return;
    }
    ++session.attempts;
    session.notifyFailed = false;
    Status(ports, DialStatusText(session));
    session.connection = 0;
    Dial(state, ports);
    return;
  }
  session.state = kSessionIdle;
  session.dialError = BusyReport(session.attempts);
  ShowDialError(state, ports, session.dialError);
  session.finished = true;
}

void DialNotify(ProgramState& state, Ports& ports, int, int connectionState, int errorCode) {
  DialSession& session = state.session;
  if (errorCode == 0 && connectionState == kConnectedState) {
    if (session.state != kSessionIdle && session.state != kSessionCancelled) {
      session.startTick = ports.clock.Ticks();
      session.startTime = DateTime::From(ports.clock.Now());
      if (session.browserProcess != 0) ports.processes.Close(session.browserProcess);
      session.browserProcess = StartBrowser(state, ports);
      // The start lets events run: a Cancel pressed meanwhile (and the worker's abort after
      // it) has the last word.
      if (session.state == kSessionIdle || session.state == kSessionCancelled) {
        EndBrowserOfAbortedLaunch(state, ports);
      } else {
        session.state = kSessionConnected;
        if (BrowserEndHangsUp(state)) BeginCall(state, ports);
      }
    }
  }
  std::string text = StateText(connectionState, errorCode, ports.remote, &session.state);
  if (errorCode != 0) {
    if (session.notifyError.empty()) session.notifyError = text;
    session.notifyFailed = true;
  } else if (session.state != kSessionIdle && session.state != kSessionCancelled && !text.empty()) {
    Status(ports, text);
  }
}

void ConnectedStep(ProgramState& state, Ports& ports) {
  DialSession& session = state.session;
  if (session.browserProcess != 0) {
    WindowFinder finder(ports.windows, ports.clock, state.lastTargetCaption);
    WindowId dialup = finder.FindTargetWindow(Sjis("ﾀﾞｲﾔﾙｱｯﾌﾟ"), "", 0);
    if (dialup == 0) dialup = finder.FindTargetWindow(state.launch.dialupCaption, "", 0);
    if (dialup != 0) ports.windows.Minimise(dialup);
  }
  session.state = kSessionIdle;
  ports.program.CloseDialStatus();
}

void AbortStep(ProgramState& state, Ports& ports) {
  DialSession& session = state.session;
  session.state = kSessionIdle;
  ports.remote.HangUp(session.connection);
  session.connection = 0;
  // A Cancel pressed after the browser started, before the worker took the connection.
  EndBrowserOfAbortedLaunch(state, ports);
  ports.clock.Sleep(2000);
  ShowDialError(state, ports, session.notifyError);
  session.finished = true;
}

void ShowDialError(ProgramState& state, Ports& ports, const std::string& text) {
  ports.program.CloseDialStatus();
  ports.program.ShowDialError(Sjis("NORVAX  ") + state.session.entryName + Sjis("に接続"), text);
}

void EndUnstartedRelaunch(ProgramState& state, Ports& ports) {
  DialSession& session = state.session;
  if (session.state == kSessionCancelled) {
    // Cancelled during the hand-over: the cancel's own end, as when the worker aborts.
    AbortStep(state, ports);
    if (state.prefs.IsOn(ExitOnLaunchFailure)) ports.program.EndProgram();
  } else {
    session.state = kSessionIdle;
    ports.program.CloseDialStatus();
    session.finished = true;
  }
  RestoreAfterLaunch(state, ports);
}

void CancelBtnClick(DialSession& session) { session.state = kSessionCancelled; }

}  // namespace norvax
