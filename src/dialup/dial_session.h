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
  int entry = -1;  // the entry the session dials; a relaunch goes on with it
  ConnectionHandle connection = 0;
  std::string entryName;  // CP932
  std::string userName;
  std::string password;
  std::string dialNumber;
  ParsedProfile profile;
  std::string profileText;  // the entry's profile as stored, for the call's record
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

struct ProgramState;
struct Ports;
class EntryTable;

// The digit that ends the dialled number: attempts modulo 4.
std::string RedialDigit(int attempts);
// The status text of a dial attempt (with or without redial).
std::string DialStatusText(const DialSession& session);
// "回線がビジーです。  ﾀﾞｲﾔﾙ n回"
std::string BusyReport(int attempts);

// The start of a session for a launch of entry: a relaunch goes on with its session, any
// other start takes the entry's values and profile afresh. Throws ProfileError.
void StartDialSession(DialSession& session, const EntryTable& table, std::size_t entry);

// The steps the worker runs on the main thread.
void DialStep(ProgramState& state, Ports& ports);
void ConnectedStep(ProgramState& state, Ports& ports);
// Ends a cancelled or failed dial: hangs up, ends a browser the launch started as the line
// came up, and shows the dial error (empty after a cancel).
void AbortStep(ProgramState& state, Ports& ports);

// A progress notification of the dial, handed to the main thread.
void DialNotify(ProgramState& state, Ports& ports, int message, int connectionState, int errorCode);

// Ends a session whose relaunch did not start a dial: after a Cancel during the hand-over as
// a cancel ends, after a launch that stopped early by closing the status dialog; the main
// window comes back.
void EndUnstartedRelaunch(ProgramState& state, Ports& ports);

// Closes the status dialog and shows the dial error dialog with text.
void ShowDialError(ProgramState& state, Ports& ports, const std::string& text);

// The status dialog's Cancel button.
void CancelBtnClick(DialSession& session);

}  // namespace norvax
