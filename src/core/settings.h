// The settings file: moving sections between the file and memory, the consistency check
// and the load at start-up with its recovery from a damaged file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/entry_table.h"
#include "core/preferences.h"
#include "platform/clock.h"
#include "platform/profile_file.h"

namespace norvax {

class UserDialogs;

enum class TransferMode {
  ReadScrambled = 1,
  ReadPlain = 2,
  WriteScrambled = 3,
  WritePlain = 4,
  EraseOnly = 10,
};

// Reading stops at the first missing key, at a value "ERROR@@", or after this many values.
inline constexpr std::size_t kMaxSectionValues = 30000;

// One thing done to one section:
// - ReadScrambled appends the unscrambled values to list; false as soon as one fails its
//   check (values read before it stay in the list);
// - ReadPlain appends the values as stored; true;
// - WriteScrambled / WritePlain replace the section with the list's values under keys
//   "0", "1", …; true;
// - EraseOnly erases the section; false.
// Writes throw WriteError when the file cannot be written.
bool TransferSection(ProfileFile& file, TransferMode mode, std::string_view section,
                     std::vector<std::string>& list);

// The stored form of a list: its values under keys "0", "1", …, scrambled when asked.
KeyValues StoredValues(const std::vector<std::string>& list, bool scrambled);

// Byte sum of every value of the eleven checked columns, as a signed 32-bit integer.
int32_t EntryChecksum(const EntryTable& table);

// True when the table and the preferences are consistent (counts, lock, checksum).
bool CheckSettings(const EntryTable& table, const PreferenceList& prefs);

// Reads every section of the settings file into the (empty) table and preference list
// without changing the file; true when every read succeeded and the check holds.
bool ReadSettings(const ProfileFile& file, EntryTable& table, PreferenceList& prefs);

// The start-up load: ReadSettings, then either pads an older file's columns or, for a
// damaged file, tells the user, keeps a copy of the file (name + ".damaged") and erases
// its sections. An empty table gets the default preferences. Afterwards the preference
// list always holds 32 values. A failed erase is rethrown as WriteError after the table
// and preferences have been reset.
void LoadSettings(ProfileFile& file, EntryTable& table, PreferenceList& prefs, UserDialogs& dialogs,
                  const LocalDateTime& now);

// Writes the 15 columns of the table, stores its checksum in preference 23 and saves the
// preferences, all in one change of the file (a failed save leaves the file as it was).
void SaveEntryTable(ProfileFile& file, const EntryTable& table, PreferenceList& prefs);

// The name a damaged file's copy gets after the file's own: ".damaged-YYYYMMDD-hhmmss", so
// that a later damage keeps its own copy.
std::string DamagedCopySuffix(const LocalDateTime& now);

// Where the damaged file's copy is kept, for the message after SettingsDamagedMessage().
std::string DamagedCopyMessage(const std::string& copyPath);

// "INIﾌｧｲﾙ ｴﾗ-、新規作成します。"
std::string SettingsDamagedMessage();

}  // namespace norvax
