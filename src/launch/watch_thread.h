// TNORVATH1: the program's one worker thread. It drives the dial phases of a launch through
// the program's own dialler and afterwards waits for the browser to end, hangs up and logs
// the connection. Every step that touches windows, the dialler, the registry or files runs
// on the main thread (a synchronous hand-over); the worker itself only waits.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace norvax {

struct ProgramState;
struct Ports;

// The text of the prompt shown while a connection stays up after the browser handed the
// address to a browser that was already running.
std::string HandOverText();

class TNORVATH1 {
 public:
  TNORVATH1() = default;
  ~TNORVATH1();
  TNORVATH1(const TNORVATH1&) = delete;
  TNORVATH1& operator=(const TNORVATH1&) = delete;

  // Starts the worker. MainState's watchThreadRunning must already be set; the termination
  // handler (WatchThreadTerminated) runs on the main thread once the worker has ended.
  void Start(ProgramState& state, Ports& ports);

  // Asks the worker to stop at its next look (the program is ending).
  void RequestStop() { stop_ = true; }
  bool StopRequested() const { return stop_; }

  // Waits for the thread of a worker that has ended (called by the termination handler).
  void Join();

 private:
  // What the thread runs: the dial phases, then the browser phase, then the termination
  // handler is handed to the main thread.
  void Execute(ProgramState& state, Ports& ports);
  // The dial phases of a launch through the program's own dialler; false when the worker
  // ends with them (no connection, or a relaunch handed over).
  bool DialPhase(ProgramState& state, Ports& ports);
  // Waits for the browser to end, then hangs up and logs the connection. A browser that
  // handed over to one already running leaves the end to the user (the hand-over prompt) or
  // to the connection itself.
  void BrowserPhase(ProgramState& state, Ports& ports);
  void WaitForHangUpRequest(ProgramState& state, Ports& ports);
  // Brings the record of the call up to date on the main thread once kCallRefreshMs have
  // passed since lastLook.
  void RefreshWhenDue(ProgramState& state, Ports& ports, uint32_t& lastLook);

  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> ended_{true};
};

}  // namespace norvax
