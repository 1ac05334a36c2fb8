// Program-wide state owned by the main window for the whole run.
#pragma once

#include <string>

#include "core/entry_table.h"
#include "core/preferences.h"
#include "core/startup.h"

namespace norvax {

class ProfileFile;
class UserDialogs;
class Help;
class RemoteAccess;
class Clock;

// Values of the main window that outlive every other window.
struct MainState {
  int commandLineEntry = kNoCommandLineEntry;
  bool minimisedAtStart = false;
  bool startAborted = false;
  int currentEntry = -1;
  bool mainWindowHidden = false;
  bool watchThreadRunning = false;
  // Main timer.
  bool timerEnabled = false;
  bool timerBusy = false;
  int tickCount = 0;
  bool waitForConnection = false;
  bool passwordFilled = false;
  bool waitWindowShown = false;
  bool waitWindowBlink = false;
  bool waitCancelled = false;
};

// The outside world as the program sees it; adapters in the program, fakes in tests.
struct Ports {
  ProfileFile& settings;
  UserDialogs& dialogs;
  Help& help;
  RemoteAccess& remote;
  Clock& clock;
};

struct ProgramState {
  EntryTable table;
  PreferenceList prefs;
  MainState main;
  // Caption of the window that last received an ID or password (CP932).
  std::string lastTargetCaption;
};

}  // namespace norvax
