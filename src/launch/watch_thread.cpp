#include "launch/watch_thread.h"

#include "core/program_state.h"
#include "dialup/dial_steps.h"
#include "launch/main_timer.h"
#include "platform/processes.h"
#include "platform/program_control.h"

namespace norvax {
namespace {

// The slice in which the worker waits for the browser before it looks for a stop request.
constexpr uint32_t kBrowserWaitSliceMs = 500;

}  // namespace

WatchThread::~WatchThread() {
  stop_ = true;
  Join();
}

void WatchThread::Start(ProgramState& state, Ports& ports) {
  Join();
  stop_ = false;
  thread_ = std::thread([this, &state, &ports] { Body(state, ports); });
}

void WatchThread::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void WatchThread::Body(ProgramState& state, Ports& ports) {
  ports.program.RunOnMainThread([&] { state.session.finished = false; });
  BrowserPhase(state, ports);
  ports.program.PostToMainThread([&state, &ports] { WatchThreadTerminated(state, ports); });
}

void WatchThread::BrowserPhase(ProgramState& state, Ports& ports) {
  bool wanted = false;
  bool log = false;
  ProcessHandle browser = 0;
  ports.program.RunOnMainThread([&] {
    const DialSession& session = state.session;
    log = session.profileParsed && session.profile.log == '1';
    wanted = state.prefs.IsOn(HangUpOnBrowserExit) || log;
    browser = session.browserProcess;
  });
  if (!wanted) return;
  while (!stop_ && browser != 0 && !ports.processes.WaitForExit(browser, kBrowserWaitSliceMs)) {
  }
  ports.program.RunOnMainThread([&] { HangUpStep(state, ports); });
  if (log) ports.program.RunOnMainThread([&] { LogStep(state, ports); });
}

}  // namespace norvax
