// Rules of the program's start and end that do not depend on windows.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/entry_table.h"
#include "core/preferences.h"

namespace norvax {

class ProfileFile;
class Clock;
class UserDialogs;
class PasswordPrompt;
struct ProgramState;
struct MainState;
struct Ports;

inline constexpr int kNoCommandLineEntry = 999;

struct CommandLineResult {
  // 0-based entry to launch at start, or kNoCommandLineEntry.
  int entry = kNoCommandLineEntry;
  // True when the argument is refused: the program shows CommandLineErrorMessage() and ends.
  bool error = false;
};

// The first argument names the entry to launch, counted from 1; it must be decimal text
// naming an entry that has a browser program. Further arguments are ignored; with
// preference 7 on the command line is ignored entirely.
CommandLineResult ReadCommandLine(const std::vector<std::string>& args, const PreferenceList& prefs,
                                  const EntryTable& table);

// "ｺﾏﾝﾄﾞﾗｲﾝ引数 ｴﾗ-"
std::string CommandLineErrorMessage();

struct WindowBounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int leftPanelWidth = 0;    // Panel2: title and ID columns together
  int titleColumnWidth = 0;  // Panel3: title column
};

// The stored bounds to restore at start, or nothing when the design-time bounds are to be
// kept: preference 0 off, a stored left or top not at least 10 pixels inside the screen,
// or any stored value that is not decimal text. A width or height larger than the screen's
// is cut to it.
std::optional<WindowBounds> StoredWindowBounds(const PreferenceList& prefs, int screenWidth,
                                               int screenHeight);

// The save at exit: with preference 0 on (and start-up not abandoned) stores the window
// bounds and the table's checksum in the preferences and saves them. Throws WriteError.
void SaveAtExit(ProfileFile& file, const EntryTable& table, PreferenceList& prefs,
                const WindowBounds& bounds, bool startAborted);

// What the main window does with itself once the start-up rules have run.
struct StartupPlan {
  // Start-up was abandoned: the application ends and the main window is never shown.
  bool abandoned = false;
  bool showTargetCaption = false;  // Panel5
  bool alwaysOnTop = false;
  std::optional<WindowBounds> bounds;  // nothing: keep the design-time bounds
  bool minimised = false;              // start minimised, restored by the user
};

// The start-up rules, in order: reset of the main state, load of the settings (with its
// recovery from a damaged file), the start lock, Panel5, staying on top, the window bounds
// and the command line. The caller then fills the columns and calls LaunchAtStart.
StartupPlan StartUp(ProgramState& state, Ports& ports, const std::vector<std::string>& args,
                    int screenWidth, int screenHeight, PasswordPrompt& prompt);

// The launch of the entry named on the command line, if any.
void LaunchAtStart(ProgramState& state, Ports& ports);

// Waits for the worker thread: up to rounds times, processes pending events, stops as soon
// as the worker has ended, otherwise lets intervalMs pass. True when the worker ended.
bool WaitForWorker(const MainState& main, Clock& clock, const std::function<void()>& processEvents,
                   int rounds, uint32_t intervalMs);

// Another start of the program on this program directory handed over its command line:
// an entry number launches that entry as at start (a wrong one is reported as at start);
// without one the program's windows come to the front.
void AnotherStart(ProgramState& state, Ports& ports, const std::vector<std::string>& args);

// Why another start's command line cannot be carried out now, in the words the program would
// show (CP932): a wrong entry number, or an entry number while a launch is under way (the
// launch guard). The later start reports it and fails; nothing when it can be carried out.
std::optional<std::string> AnotherStartRefusal(const ProgramState& state,
                                               const std::vector<std::string>& args);

// The end when the display is gone (the program's windows can no longer be used): the save
// at exit, and what the worker would still do when asked to stop - hang up a dial under way,
// or hang up and log the connection it watches - done here, since the worker waits for the
// main thread. A failed save goes to the error stream.
void ShutDownWithoutDisplay(ProgramState& state, Ports& ports, const WindowBounds& bounds);

// The shut-down rules: asks a running worker to stop and waits for it at most 60 seconds
// while processing events, then the save at exit (a failed save is reported to the user);
// lets go of the browser, closes the wait window and stops the main timer.
void ShutDown(ProgramState& state, Ports& ports, const WindowBounds& bounds,
              const std::function<void()>& processEvents);

}  // namespace norvax
