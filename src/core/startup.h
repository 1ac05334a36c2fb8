// Rules of the program's start and end that do not depend on windows.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/entry_table.h"
#include "core/preferences.h"

namespace norvax {

class ProfileFile;

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
// or any stored value that is not decimal text.
std::optional<WindowBounds> StoredWindowBounds(const PreferenceList& prefs, int screenWidth,
                                               int screenHeight);

// The save at exit: with preference 0 on (and start-up not abandoned) stores the window
// bounds and the table's checksum in the preferences and saves them. Throws WriteError.
void SaveAtExit(ProfileFile& file, const EntryTable& table, PreferenceList& prefs,
                const WindowBounds& bounds, bool startAborted);

}  // namespace norvax
