#include "core/startup.h"

#include "platform/processes.h"
#include "platform/program_control.h"

#include <algorithm>
#include <iostream>

#include "core/decimal.h"
#include "core/password_lock.h"
#include "core/program_state.h"
#include "core/settings.h"
#include "dialup/dial_steps.h"
#include "dialup/log_move.h"
#include "launch/launch.h"
#include "launch/start_process.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/profile_file.h"
#include "platform/user_dialogs.h"

namespace norvax {
namespace {

// Messages once the display is gone: on the error stream.
class StandardErrorReport : public UserDialogs {
 public:
  void ShowError(const std::string& text) override { ShowMessage(text); }
  void ShowMessage(const std::string& text) override {
    std::cerr << "norvax: " << Cp932ToUtf8(text) << "\n";
  }
  bool ConfirmOkCancel(const std::string& text) override {
    ShowMessage(text);
    return false;
  }
};

}  // namespace

CommandLineResult ReadCommandLine(const std::vector<std::string>& args, const PreferenceList& prefs,
                                  const EntryTable& table) {
  CommandLineResult result;
  if (args.empty() || prefs.IsOn(NoConnectNoBrowser)) return result;
  auto number = ParseDecimal(args.front());
  if (number) {
    int64_t n = int64_t{*number} - 1;
    if (n >= 0 && static_cast<std::size_t>(n) < table.Count() &&
        !table.Value(static_cast<std::size_t>(n), Column::Browser).empty()) {
      result.entry = static_cast<int>(n);
      return result;
    }
  }
  result.error = true;
  return result;
}

std::string CommandLineErrorMessage() { return Sjis("ｺﾏﾝﾄﾞﾗｲﾝ引数 ｴﾗ-"); }

std::optional<WindowBounds> StoredWindowBounds(const PreferenceList& prefs, int screenWidth,
                                               int screenHeight) {
  if (!prefs.IsOn(KeepWindowPosition)) return std::nullopt;
  std::optional<int32_t> v[6];
  for (std::size_t i = 0; i < 6; ++i) {
    v[i] = ParseDecimal(prefs[WindowLeft + i]);
    if (!v[i]) return std::nullopt;
  }
  if (!(int64_t{*v[0]} + 10 < screenWidth && int64_t{*v[1]} + 10 < screenHeight)) {
    return std::nullopt;
  }
  // A window is never larger than the screen, whatever was stored.
  return WindowBounds{*v[0],
                      *v[1],
                      std::min(*v[2], static_cast<int32_t>(screenWidth)),
                      std::min(*v[3], static_cast<int32_t>(screenHeight)),
                      *v[4],
                      *v[5]};
}

void SaveAtExit(ProfileFile& file, const EntryTable& table, PreferenceList& prefs,
                const WindowBounds& bounds, bool startAborted) {
  if (startAborted || !prefs.IsOn(KeepWindowPosition)) return;
  prefs[WindowLeft] = DecimalText(bounds.left);
  prefs[WindowTop] = DecimalText(bounds.top);
  prefs[WindowWidth] = DecimalText(bounds.width);
  prefs[WindowHeight] = DecimalText(bounds.height);
  prefs[LeftPanelWidth] = DecimalText(bounds.leftPanelWidth);
  prefs[TitleColumnWidth] = DecimalText(bounds.titleColumnWidth);
  prefs[TableChecksum] = DecimalText(EntryChecksum(table));
  SavePreferences(file, prefs);
}

StartupPlan StartUp(ProgramState& state, Ports& ports, const std::vector<std::string>& args,
                    int screenWidth, int screenHeight, PasswordPrompt& prompt) {
  MainState& main = state.main;
  main.timerBusy = false;
  main.watchThreadRunning = false;
  main.startAborted = false;
  state.table.Clear();
  state.prefs.Clear();
  try {
    LoadSettings(ports.settings, state.table, state.prefs, ports.dialogs, ports.clock.Now());
  } catch (const WriteError& e) {
    // The table and preferences are already reset; the program runs on and the next save
    // tries the file again.
    ports.dialogs.ShowError(e.Message());
  } catch (const ReadError& e) {
    // A file that is there but cannot be read (another user's, say) may hold every entry:
    // the program ends without touching it, not even with the save at exit.
    ports.dialogs.ShowError(e.Message());
    main.startAborted = true;
    StartupPlan plan;
    plan.abandoned = true;
    return plan;
  }

  StartupPlan plan;
  if (state.prefs.IsOn(LockStart) &&
      !PassLock(prompt, ports.dialogs, state.prefs, StartCaptionForVerify())) {
    main.startAborted = true;
    plan.abandoned = true;
    return plan;
  }
  // A log move that was cut off is finished before anything else touches the log; one
  // that cannot be finished now is tried again at the next log write or move.
  try {
    RecoverLogMove(ports.logFiles);
  } catch (const FileError& e) {
    ports.dialogs.ShowError(e.Message());
  }
  // The copy before may have ended without its own end, in the middle of a call.
  FinishLeftoverCalls(state.calls, ports.logFiles, ports.logState, state.holidays, state.dialler,
                      ports.remote, DateTime::From(ports.clock.Now()), StillUp::kHangUp,
                      ports.dialogs);
  plan.showTargetCaption = state.prefs.IsOn(ShowTargetCaption);
  plan.alwaysOnTop = state.prefs.IsOn(AlwaysOnTop);
  plan.bounds = StoredWindowBounds(state.prefs, screenWidth, screenHeight);

  main.commandLineEntry = kNoCommandLineEntry;
  CommandLineResult command = ReadCommandLine(args, state.prefs, state.table);
  if (command.error) {
    ports.dialogs.ShowError(CommandLineErrorMessage());
    plan.abandoned = true;
    return plan;
  }
  main.commandLineEntry = command.entry;
  main.minimisedAtStart = command.entry != kNoCommandLineEntry;
  plan.minimised = main.minimisedAtStart;
  main.waitWindowShown = false;
  main.mainWindowHidden = false;
  return plan;
}

void LaunchAtStart(ProgramState& state, Ports& ports) {
  if (state.main.commandLineEntry == kNoCommandLineEntry) return;
  LaunchEntry(state, ports, state.main.commandLineEntry);
}

bool WaitForWorker(const MainState& main, Clock& clock, const std::function<void()>& processEvents,
                   int rounds, uint32_t intervalMs) {
  for (int i = 0; i < rounds; ++i) {
    processEvents();
    if (!main.watchThreadRunning) return true;
    clock.Sleep(intervalMs);
  }
  return !main.watchThreadRunning;
}

void AnotherStart(ProgramState& state, Ports& ports, const std::vector<std::string>& args) {
  CommandLineResult command = ReadCommandLine(args, state.prefs, state.table);
  if (command.error) {
    ports.dialogs.ShowError(CommandLineErrorMessage());
    return;
  }
  if (command.entry == kNoCommandLineEntry) {
    ports.program.RestoreApplication();
    return;
  }
  LaunchEntry(state, ports, command.entry);
}

std::optional<std::string> AnotherStartRefusal(const ProgramState& state,
                                               const std::vector<std::string>& args) {
  const CommandLineResult command = ReadCommandLine(args, state.prefs, state.table);
  if (command.error) return CommandLineErrorMessage();
  if (command.entry != kNoCommandLineEntry && LaunchGuardBlocks(state)) return LaunchBusyMessage();
  return std::nullopt;
}

void ShutDownWithoutDisplay(ProgramState& state, Ports& ports, const WindowBounds& bounds) {
  state.main.ending = true;
  if (state.main.watchThreadRunning) {
    state.worker->RequestStop();
    if (!HangUpDialUnderWay(state, ports) && BrowserEndHangsUp(state)) HangUpStep(state, ports);
  }
  // Whatever the worker (or a shut-down cut short) did not log yet; a busy log is not
  // waited for, the next start logs the calls.
  StandardErrorReport report;
  LogStep(state, ports, report, LockWait::kNoWait);
  try {
    SaveAtExit(ports.settings, state.table, state.prefs, bounds, state.main.startAborted);
  } catch (const WriteError& e) {
    report.ShowError(e.Message());
  }
}

void ShutDown(ProgramState& state, Ports& ports, const WindowBounds& bounds,
              const std::function<void()>& processEvents) {
  state.main.ending = true;
  if (state.main.watchThreadRunning) {
    state.worker->RequestStop();
    WaitForWorker(state.main, ports.clock, processEvents, 600, 100);
  }
  // A dial still under way (a worker that did not end in time, a relaunch not yet started)
  // is hung up: its notifications end with it, before the program's objects go.
  HangUpDialUnderWay(state, ports);
  try {
    SaveAtExit(ports.settings, state.table, state.prefs, bounds, state.main.startAborted);
  } catch (const WriteError& e) {
    ports.dialogs.ShowError(e.Message());
  }
  StopBrowserWatch(state, ports);
  if (state.session.browserProcess != 0) {
    // The browser keeps running.
    ports.processes.Close(state.session.browserProcess);
    state.session.browserProcess = 0;
  }
  if (state.main.waitWindowShown) {
    ports.program.CloseWaitWindow();
    state.main.waitWindowShown = false;
  }
  if (state.main.timerEnabled) {
    ports.program.StopTimer();
    state.main.timerEnabled = false;
  }
}

}  // namespace norvax
