#include "core/settings.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>

#include "core/decimal.h"
#include "core/scrambler.h"
#include "platform/cp932.h"
#include "platform/profile_file.h"
#include "platform/user_dialogs.h"

namespace norvax {
namespace {

constexpr std::string_view kMissing = "ERROR@@";

// The key columns that must hold one value per entry, apart from the titles.
constexpr Column kCountedColumns[] = {Column::Id,         Column::Pass,    Column::Browser,
                                      Column::Connection, Column::SetPass, Column::Set1,
                                      Column::Set2};

constexpr Column kChecksumColumns[] = {
    Column::Title,      Column::Id,           Column::Pass,           Column::Browser,
    Column::Connection, Column::SetPass,      Column::Set1,           Column::Set2,
    Column::ProxyFlags, Column::ProxyServers, Column::ProxyExceptions};

// The number k of a key that reads "k" as std::to_string writes it, when k is below limit.
std::optional<std::size_t> KeyNumber(std::string_view key, std::size_t limit) {
  if (key.empty() || (key.size() > 1 && key.front() == '0')) return std::nullopt;
  std::size_t k = 0;
  for (char c : key) {
    if (c < '0' || c > '9') return std::nullopt;
    k = k * 10 + static_cast<std::size_t>(c - '0');
    if (k >= limit) return std::nullopt;
  }
  return k;
}

bool ReadSection(const ProfileFile& file, bool scrambled, std::string_view section,
                 std::vector<std::string>& list) {
  KeyValues values = file.ReadSection(section);
  // Where the first value of each key "0", "1", … is, as the profile functions find it. The
  // values are read from key "0" on up to the first key missing, so n values reach key n - 1
  // at most.
  constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
  std::vector<std::size_t> first(std::min(values.size(), kMaxSectionValues), kNone);
  for (std::size_t i = 0; i < values.size(); ++i) {
    auto k = KeyNumber(values[i].first, first.size());
    if (k && first[*k] == kNone) first[*k] = i;
  }
  list.reserve(list.size() + first.size());
  for (std::size_t at : first) {
    if (at == kNone || values[at].second == kMissing) break;
    std::string& value = values[at].second;
    if (!scrambled) {
      list.push_back(std::move(value));
      continue;
    }
    auto plain = UnscrambleText(value);
    if (!plain.checkOk) return false;
    list.push_back(std::move(plain.text));
  }
  return true;
}

}  // namespace

bool TransferSection(ProfileFile& file, TransferMode mode, std::string_view section,
                     std::vector<std::string>& list) {
  switch (mode) {
    case TransferMode::ReadScrambled:
      return ReadSection(file, true, section, list);
    case TransferMode::ReadPlain:
      return ReadSection(file, false, section, list);
    case TransferMode::EraseOnly:
      file.EraseSection(section);
      return false;
    case TransferMode::WriteScrambled:
    case TransferMode::WritePlain:
      break;
  }
  file.WriteSection(section, StoredValues(list, mode == TransferMode::WriteScrambled));
  return true;
}

KeyValues StoredValues(const std::vector<std::string>& list, bool scrambled) {
  KeyValues values;
  values.reserve(list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    values.emplace_back(std::to_string(i), scrambled ? ScrambleText(list[i], i == 0) : list[i]);
  }
  return values;
}

int32_t EntryChecksum(const EntryTable& table) {
  uint32_t sum = 0;
  for (Column c : kChecksumColumns) {
    for (const auto& value : table.List(c)) {
      for (unsigned char b : value) sum += b;
    }
  }
  return static_cast<int32_t>(sum);
}

bool CheckSettings(const EntryTable& table, const PreferenceList& prefs) {
  for (Column c : kCountedColumns) {
    if (table.List(c).size() != table.Count()) return false;
  }
  if (table.Count() > 0 && prefs.Empty()) return false;
  if (prefs.Empty()) return true;
  if (prefs.Size() != kPreferenceCount) return false;
  if (prefs[LockActive] == "1" && prefs[LockPassword] == "@") return false;
  if (prefs[LockActive] == "0" && prefs[LockPassword] != "@") return false;
  // A checksum that is not decimal text cannot match.
  auto stored = ParseDecimal(prefs[TableChecksum]);
  return stored && *stored == EntryChecksum(table);
}

bool ReadSettings(const ProfileFile& file, EntryTable& table, PreferenceList& prefs) {
  bool allRead = true;
  for (std::size_t c = 0; c < kColumnCount; ++c) {
    const auto& info = Info(ColumnAt(c));
    // Scrambled key columns are read with the check; LIST10 is scrambled too.
    allRead = ReadSection(file, info.scrambled, info.section, table.List(ColumnAt(c))) && allRead;
  }
  std::vector<std::string> stored;
  allRead = ReadSection(file, true, kPreferenceSection, stored) && allRead;
  if (stored.size() == 2) {
    SplitPreferences(prefs, stored[0]);
    prefs.Append(stored[1]);
  }
  return allRead && CheckSettings(table, prefs);
}

void LoadSettings(ProfileFile& file, EntryTable& table, PreferenceList& prefs, UserDialogs& dialogs,
                  const LocalDateTime& now) {
  const bool good = ReadSettings(file, table, prefs);
  if (good && table.Count() > 0) {
    table.NormaliseColumns();
    return;
  }
  auto reset = [&] {
    table.Clear();
    prefs.ResetToDefaults();
  };
  if (!good) {
    dialogs.ShowError(SettingsDamagedMessage());
    std::string copy;
    try {
      copy = file.SaveCopy(DamagedCopySuffix(now));
      Sections erased;
      for (std::size_t c = 0; c < kColumnCount; ++c) {
        erased.emplace_back(Info(ColumnAt(c)).section, KeyValues{});
      }
      erased.emplace_back(kPreferenceSection, KeyValues{});
      file.WriteSections(erased);
    } catch (...) {
      // The copy is there even when the file itself could not be started afresh.
      if (!copy.empty()) dialogs.ShowMessage(DamagedCopyMessage(copy));
      reset();
      throw;
    }
    dialogs.ShowMessage(DamagedCopyMessage(copy));
  }
  reset();
}

void SaveEntryTable(ProfileFile& file, const EntryTable& table, PreferenceList& prefs) {
  Sections sections;
  for (std::size_t c = 0; c < kColumnCount; ++c) {
    const auto& info = Info(ColumnAt(c));
    sections.emplace_back(info.section, StoredValues(table.List(ColumnAt(c)), info.scrambled));
  }
  PreferenceList saved = prefs;
  saved[TableChecksum] = DecimalText(EntryChecksum(table));
  sections.emplace_back(kPreferenceSection, StoredPreferences(saved));
  file.WriteSections(sections);
  prefs = std::move(saved);
}

std::string SettingsDamagedMessage() { return Sjis("INIﾌｧｲﾙ ｴﾗ-、新規作成します。"); }

std::string DamagedCopySuffix(const LocalDateTime& now) {
  char text[32];
  std::snprintf(text, sizeof text, ".damaged-%04d%02d%02d-%02d%02d%02d", now.year, now.month,
                now.day, now.hour, now.minute, now.second);
  return text;
}

std::string DamagedCopyMessage(const std::string& copyPath) {
  return Sjis("元のINIﾌｧｲﾙは次の名前で残してあります。\n") + Cp932ForDisplay(copyPath);
}

}  // namespace norvax
