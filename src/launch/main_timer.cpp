#include "launch/main_timer.h"

#include "core/main_window_rules.h"
#include "core/program_state.h"
#include "dialup/dial_steps.h"
#include "launch/autodial.h"
#include "launch/keystrokes.h"
#include "launch/login_fill.h"
#include "launch/start_process.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/program_control.h"
#include "platform/user_dialogs.h"
#include "platform/window_system.h"

namespace norvax {
namespace {

void StopTimer(ProgramState& state, Ports& ports) {
  state.main.timerEnabled = false;
  ports.program.StopTimer();
}

void ShowMainWindow(ProgramState& state, Ports& ports) {
  if (!state.main.mainWindowHidden) return;
  ports.program.ShowMainWindow();
  state.main.mainWindowHidden = false;
}

void PasswordPhase(ProgramState& state, Ports& ports) {
  MainState& main = state.main;
  const LaunchState& launch = state.launch;
  const FillResult fill =
      FillLoginDialog(state, ports, launch.dialupCaption, launch.fillPassword, launch.fillSet1,
                      launch.fillSet2, launch.fillConnection, FillMode::ConnectDialog);
  main.passwordFilled = fill == FillResult::Typed;
  // A typing that stopped half-way ends the wait as a failure: another try would type the
  // password a second time after what already arrived.
  // So does a desktop whose windows cannot be reached: the message says why.
  const std::string problem = fill == FillResult::Typed ? std::string() : ports.windows.Problem();
  const bool stopped =
      fill == FillResult::Stopped || fill == FillResult::Untypable || !problem.empty();
  ++main.tickCount;
  if (!main.passwordFilled && !stopped && main.tickCount <= kPasswordTicks) {
    if (!main.waitWindowShown) {
      ports.program.ShowWaitWindow();
      main.waitWindowShown = true;
    }
    ports.program.SetWaitWindowText(WaitCountdownText(main.tickCount),
                                    main.waitWindowBlink ? kWaitTextGreen : kWaitTextWhite);
    main.waitWindowBlink = !main.waitWindowBlink;
  }
  if (!(main.passwordFilled || stopped || main.tickCount > kPasswordTicks || main.waitCancelled)) {
    return;
  }

  if (main.waitWindowShown) {
    ports.program.CloseWaitWindow();
    main.waitWindowShown = false;
  }
  if (!main.passwordFilled) {
    StopTimer(state, ports);
    ports.dialogs.ShowError(fill == FillResult::Untypable
                                ? UntypableProblem(ports.windows, launch.fillPassword)
                            : !problem.empty() ? PasswordNotSetMessage() + "\n" + problem
                            : stopped          ? TypingStoppedMessage()
                                               : PasswordNotSetMessage());
  }
  ShowMainWindow(state, ports);
  // The main window that came back does not cover the browser the user asked for.
  if (main.passwordFilled) RaiseBrowser(state, ports);
  if (state.prefs.IsOn(ExitAfterBrowserStart) || IsNoConnection(launch.fillConnection)) {
    StopTimer(state, ports);
    ports.program.EndProgram();
  }
  if (!state.prefs.IsOn(StartMinimised) && main.minimisedAtStart) {
    ports.program.ShowMainWindow();
    ports.program.RestoreApplication();
    main.minimisedAtStart = false;
  }
  if (main.passwordFilled && (launch.browserIsNetscape || state.prefs.IsOn(HangUpOnBrowserExit))) {
    main.waitForConnection = true;
  } else {
    StopTimer(state, ports);
  }
}

void ConnectionPhase(ProgramState& state, Ports& ports) {
  MainState& main = state.main;
  DialSession& session = state.session;
  const LaunchState& launch = state.launch;
  if (++main.tickCount > kConnectionTicks) {
    StopTimer(state, ports);
    if (launch.browserIsNetscape) ports.dialogs.ShowError(DialupNotMinimisedMessage());
    return;
  }
  WindowFinder finder(ports.windows, ports.clock, state.lastTargetCaption);
  if (session.connection == 0) {
    ConnectionHandle found = 0;
    if (ports.remote.FindConnection(launch.fillConnection, found) == 0) session.connection = found;
    if (session.connection == 0) {
      if (finder.FindTargetWindow(launch.dialupCaption, "", 0) == 0) {
        StopTimer(state, ports);
        if (launch.browserIsNetscape) ports.dialogs.ShowError(DialupNotMinimisedMessage());
      }
      return;
    }
  }
  int connectState = 0;
  int error = ports.remote.GetConnectState(session.connection, connectState);
  if (error == 0 && connectState == kConnectedState) {
    session.startTick = ports.clock.Ticks();
    session.startTime = DateTime::From(ports.clock.Now());
    StopTimer(state, ports);
    WindowId dialup = finder.FindTargetWindow(Sjis("ﾀﾞｲﾔﾙｱｯﾌﾟ"), "", 0);
    if (dialup == 0) dialup = finder.FindTargetWindow(launch.dialupCaption, "", 0);
    if (dialup != 0 && launch.browserIsNetscape) ports.windows.Minimise(dialup);
    if (state.prefs.IsOn(HangUpOnBrowserExit)) {
      BeginCall(state, ports);
      StartWatchThread(state, ports);
    }
    return;
  }
  if (error == 0) session.connection = 0;
}

}  // namespace

std::string PasswordNotSetMessage() { return Sjis("NORVAX  パスワードをセット出来ませんでした。"); }

std::string DialupNotMinimisedMessage() {
  return Sjis("NORVAX ﾀﾞｲﾔﾙｱｯﾌﾟ ｳｲﾝﾄﾞｳを最小化出来ませんでした。");
}

void Timer1Timer(ProgramState& state, Ports& ports) {
  MainState& main = state.main;
  // A tick is also dropped while an ID or password click types.
  if (main.timerBusy || main.filling || !main.timerEnabled) return;
  main.timerBusy = true;
  if (!main.waitForConnection) {
    PasswordPhase(state, ports);
  } else {
    ConnectionPhase(state, ports);
  }
  main.timerBusy = false;
}

void StartWatchThread(ProgramState& state, Ports& ports) {
  state.main.watchThreadRunning = true;
  state.worker->Start(state, ports);
}

void WatchThreadTerminated(ProgramState& state, Ports& ports) {
  state.worker->Join();
  state.main.watchThreadRunning = false;
  const PreferenceList& prefs = state.prefs;
  if (!state.session.finished) {
    if (prefs.IsOn(ExitOnBrowserExit) || prefs.IsOn(ExitAfterBrowserStart)) {
      ports.program.EndProgram();
    }
  } else if (prefs.IsOn(ExitOnLaunchFailure) && state.session.state != kSessionRelaunchRequested) {
    ports.program.EndProgram();
  }
}

void RestoreAfterLaunch(ProgramState& state, Ports& ports) {
  if (state.session.state == kSessionRelaunchRequested) return;
  ShowMainWindow(state, ports);
  if (!state.prefs.IsOn(StartMinimised) && state.main.minimisedAtStart) {
    ports.program.RestoreApplication();
    state.main.minimisedAtStart = false;
  }
}

}  // namespace norvax
