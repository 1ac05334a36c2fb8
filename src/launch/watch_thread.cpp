#include "launch/watch_thread.h"

#include "core/program_state.h"
#include "dialup/dial_session.h"
#include "dialup/dial_steps.h"
#include "launch/main_timer.h"
#include "launch/start_process.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/processes.h"
#include "platform/program_control.h"
#include "platform/remote_access.h"

namespace norvax {
namespace {

// The slice in which the worker waits for the browser before it looks for a stop request,
// and the pause between two looks at the dial session.
constexpr uint32_t kBrowserWaitSliceMs = 500;
constexpr uint32_t kDialLookMs = 500;

// Colours of the status dialog's blinking label.
constexpr unsigned kLabelGrey = 0x808080;
constexpr unsigned kLabelBlack = 0x000000;

bool ConnectionUp(const DialSession& session, RemoteAccess& remote) {
  int connectState = 0;
  return session.connection != 0 && remote.GetConnectState(session.connection, connectState) == 0 &&
         connectState == kConnectedState;
}

}  // namespace

std::string HandOverText() {
  return Sjis(
      "ﾌﾞﾗｳｻﾞは既に起動しているﾌﾞﾗｳｻﾞに引き継がれました。"
      "ﾌﾞﾗｳｻﾞを使い終わったら、[切断]を押してください。");
}

TNORVATH1::~TNORVATH1() {
  stop_ = true;
  if (!thread_.joinable()) return;
  // A worker that has not ended by now waits for a main thread that no longer runs its
  // hand-overs (the program ends after its wait for the worker ran out): let it go.
  if (ended_) {
    Join();
  } else {
    thread_.detach();
  }
}

void TNORVATH1::Start(ProgramState& state, Ports& ports) {
  Join();
  stop_ = false;
  ended_ = false;
  thread_ = std::thread([this, &state, &ports] {
    Execute(state, ports);
    ended_ = true;
  });
}

void TNORVATH1::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TNORVATH1::Execute(ProgramState& state, Ports& ports) {
  ports.program.RunOnMainThread([&] { state.session.finished = false; });
  if (DialPhase(state, ports)) BrowserPhase(state, ports);
  ports.program.PostToMainThread([&state, &ports] { WatchThreadTerminated(state, ports); });
}

bool TNORVATH1::DialPhase(ProgramState& state, Ports& ports) {
  ProgramControl& program = ports.program;
  DialSession& session = state.session;
  bool grey = true;
  while (!stop_) {
    int current = kSessionIdle;
    bool failed = false;
    program.RunOnMainThread([&] {
      current = session.state;
      failed = session.notifyFailed;
    });
    if (current == kSessionIdle) return true;
    if (current == kSessionConnected) {
      bool taken = false;
      program.RunOnMainThread([&] {
        // A Cancel pressed since the look has the last word: the next look aborts.
        taken = session.state == kSessionConnected;
        if (!taken) return;
        ConnectedStep(state, ports);
        RestoreAfterLaunch(state, ports);
      });
      if (taken) return true;
      continue;
    }
    if (current == kSessionFirstDial || current == kSessionLineBusy ||
        current == kSessionRelaunched) {
      bool ends = false;
      program.RunOnMainThread([&] {
        DialStep(state, ports);
        ends = session.state == kSessionRelaunchRequested || session.finished;
        if (ends) RestoreAfterLaunch(state, ports);
      });
      if (ends) return false;
      continue;
    }
    if (current == kSessionCancelled || failed) {
      program.RunOnMainThread([&] {
        AbortStep(state, ports);
        RestoreAfterLaunch(state, ports);
      });
      return false;
    }
    ports.clock.Sleep(kDialLookMs);
    program.RunOnMainThread(
        [&] { program.SetDialStatusLabelColour(grey ? kLabelGrey : kLabelBlack); });
    grey = !grey;
  }
  // Stopped before the dial ended (the program ends): the dial in progress is hung up, and
  // no call is logged for it.
  bool dialling = false;
  program.RunOnMainThread([&] {
    DialSession& s = state.session;
    dialling = s.state != kSessionIdle && s.state != kSessionConnected;
    if (!dialling) return;
    s.state = kSessionIdle;
    ports.remote.HangUp(s.connection);
    s.connection = 0;
    program.CloseDialStatus();
  });
  return !dialling;
}

void TNORVATH1::BrowserPhase(ProgramState& state, Ports& ports) {
  bool wanted = false;
  ProcessHandle browser = 0;
  ports.program.RunOnMainThread([&] {
    wanted = BrowserEndHangsUp(state);
    browser = state.session.browserProcess;
  });
  if (!wanted) return;
  uint32_t lastLook = ports.clock.Ticks();
  while (!stop_ && browser != 0 && !ports.processes.WaitForExit(browser, kBrowserWaitSliceMs)) {
    RefreshWhenDue(state, ports, lastLook);
  }
  bool handedOver = false;
  if (!stop_ && browser != 0) {
    ports.program.RunOnMainThread([&] { handedOver = BrowserHandedOver(state, ports); });
  }
  if (handedOver) WaitForHangUpRequest(state, ports);
  ports.program.RunOnMainThread([&] { HangUpStep(state, ports); });
  ports.program.RunOnMainThread([&] { LogStep(state, ports, ports.dialogs, LockWait::kWait); });
}

void TNORVATH1::RefreshWhenDue(ProgramState& state, Ports& ports, uint32_t& lastLook) {
  if (ports.clock.Ticks() - lastLook < kCallRefreshMs) return;
  lastLook = ports.clock.Ticks();
  ports.program.RunOnMainThread([&] { RefreshCall(state, ports); });
}

void TNORVATH1::WaitForHangUpRequest(ProgramState& state, Ports& ports) {
  ProgramControl& program = ports.program;
  bool asked = false;  // read and written on the main thread only
  program.RunOnMainThread([&] {
    program.ShowHandOverPrompt(Sjis("NORVAX  ") + state.session.entryName + Sjis("に接続中"),
                               HandOverText(), [&asked] { asked = true; });
  });
  bool over = false;
  uint32_t lastLook = ports.clock.Ticks();
  while (!stop_ && !over) {
    ports.clock.Sleep(kBrowserWaitSliceMs);
    RefreshWhenDue(state, ports, lastLook);
    program.RunOnMainThread([&] { over = asked || !ConnectionUp(state.session, ports.remote); });
  }
  program.RunOnMainThread([&] { program.CloseHandOverPrompt(); });
}

}  // namespace norvax
