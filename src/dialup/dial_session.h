// The program's one dial session: what a launch through the program's own dialler, or a
// connection found after a browser-only launch, keeps from the dial to the hang-up.
#pragma once

#include <cstdint>
#include <string>

#include "dialup/dates.h"
#include "dialup/dial_profile.h"
#include "platform/processes.h"
#include "platform/remote_access.h"

namespace norvax {

enum SessionState : int {
  kSessionIdle = 0,
  kSessionFirstDial = 1,
  kSessionConnected = 2,
  kSessionLineBusy = 3,
  kSessionCancelled = 4,
  kSessionDialling = 30,
  kSessionRelaunchRequested = 31,
  kSessionRelaunched = 32,
};

// Every field is read and written on the main thread only; the worker looks at them
// through the main thread.
struct DialSession {
  int state = kSessionIdle;
  int attempts = 0;
  ConnectionHandle connection = 0;
  std::string entryName;  // CP932
  std::string userName;
  std::string password;
  std::string dialNumber;
  ParsedProfile profile;
  bool profileParsed = false;
  std::string dialError;
  std::string notifyError;
  bool notifyFailed = false;
  bool finished = false;
  uint32_t startTick = 0;
  uint32_t endTick = 0;
  DateTime startTime;  // all zero until a connection of this run came up
  DateTime endTime;
  ProcessHandle browserProcess = 0;
};

}  // namespace norvax
