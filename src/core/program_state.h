// Program-wide state owned by the main window for the whole run.
#pragma once

#include <memory>
#include <string>

#include "core/entry_table.h"
#include "core/preferences.h"
#include "core/startup.h"
#include "dialup/call_record.h"
#include "dialup/dial_session.h"
#include "dialup/holidays.h"
#include "launch/launch_state.h"
#include "launch/watch_thread.h"

namespace norvax {

class ProfileFile;
class UserDialogs;
class Help;
class RemoteAccess;
class Clock;
class WindowSystem;
class Registry;
class Processes;
class ProgramControl;
class FileStore;
class ProxyStores;

// Values of the main window that outlive every other window.
struct MainState {
  int commandLineEntry = kNoCommandLineEntry;
  bool minimisedAtStart = false;
  bool startAborted = false;
  int currentEntry = -1;
  bool mainWindowHidden = false;
  bool watchThreadRunning = false;
  // The program has been asked to end (its main window closed): a dial under way ends.
  bool ending = false;
  // A launch runs on the main thread, from its first step until it returns (and while a
  // relaunch waits for the worker); its waits let other events run meanwhile.
  bool launching = false;
  // An ID or password click is typing.
  bool filling = false;
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

// Sets a flag for as long as it lives, then gives it back its earlier value.
class FlagHold {
 public:
  explicit FlagHold(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
  ~FlagHold() { flag_ = was_; }
  FlagHold(const FlagHold&) = delete;
  FlagHold& operator=(const FlagHold&) = delete;

 private:
  bool& flag_;
  bool was_;
};

// The outside world as the program sees it; adapters in the program, fakes in tests.
struct Ports {
  ProfileFile& settings;
  UserDialogs& dialogs;
  Help& help;
  RemoteAccess& remote;
  Clock& clock;
  WindowSystem& windows;
  Registry& registry;
  Processes& processes;
  ProgramControl& program;
  ProfileFile& logState;  // NORVALOG.INI
  FileStore& logFiles;    // NORVA.LOG and its archive, in the program directory
  ProxyStores& proxy;
};

struct ProgramState {
  EntryTable table;
  PreferenceList prefs;
  MainState main;
  // Caption of the window that last received an ID or password (CP932).
  std::string lastTargetCaption;
  LaunchState launch;
  DialSession session;
  // The calls the program answers for until their line is written (kept in the record file).
  std::vector<CallRecord> calls;
  // The remote-access service that dials for the program directory (DiallerName).
  std::string dialler;
  HolidayCalendar holidays = LoadHolidays();
  // The worker thread; the last member, so that it ends before the state it uses goes.
  std::unique_ptr<TNORVATH1> worker = std::make_unique<TNORVATH1>();
};

}  // namespace norvax
