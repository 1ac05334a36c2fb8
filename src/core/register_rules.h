// The register window's rules: its private working copy of the entry table, what each
// row shows, which buttons are usable and where the selection goes after each change.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "core/entry_table.h"
#include "core/preferences.h"

namespace norvax {

// The buttons that change with the window's state (Add, Cancel and Help never do).
struct RegisterButtons {
  bool del = false;
  bool ok = false;
  bool edit = false;
  bool moveUp = false;
  bool moveDown = false;

  bool operator==(const RegisterButtons&) const = default;
};

// State 0: the window has just opened.
RegisterButtons ButtonsAtCreation();
// State 1: a row was clicked or an entry added; everything usable when rows exist.
RegisterButtons ButtonsAfterSelect(RegisterButtons current, std::size_t rowCount);
// State 2: the last row was deleted; OK keeps its state.
RegisterButtons ButtonsAfterLastDeleted(RegisterButtons current);

// The row number as shown: right-aligned in three characters, cut to three.
std::string RowNumberText(std::size_t rowIndex);

// How long values are masked: right after the window opens, or after Add / Edit.
enum class MaskMoment { AtCreation, AfterEdit };

// A value as the register window shows it: masked when the display preference is
// exactly "1", as stored otherwise.
std::string RegisterDisplayText(const std::string& value, const std::string& displayPref,
                                MaskMoment moment);

// The asterisks standing for a value: one per byte up to 20 bytes, a fixed run beyond.
std::string MaskedText(const std::string& value, MaskMoment moment);

// The text of every display column of one row (columns 2 to 8: title, ID, password,
// browser, connection, Set1, Set2).
struct RegisterRow {
  std::string title, id, pass, browser, connection, set1, set2;
};
RegisterRow DisplayRow(const EntryTable& table, std::size_t i, const PreferenceList& prefs,
                       MaskMoment moment);

// Why the table cannot be written to the settings file, which holds one value per line:
// "<n>番目の登録に改行を含む値があるため保存できません。" for the first entry (from 1) with a
// line break in any column; nothing when every value can be stored.
std::optional<std::string> UnstorableTableMessage(const EntryTable& table);

// The register window's private copy of the entry table. Rows move together in all 15
// columns; nothing reaches the program's table until Commit.
class WorkingTable {
 public:
  explicit WorkingTable(const EntryTable& source);

  const EntryTable& Table() const { return table_; }
  EntryTable& Table() { return table_; }
  std::size_t Count() const { return table_.Count(); }

  // Deletes row a; returns the row to select afterwards, or -1 when the table is empty
  // (or a was not a row, in which case nothing changed).
  int Delete(int a);
  // Exchange with the neighbour; return the row to select, or -1 when nothing moved.
  int MoveUp(int a);
  int MoveDown(int a);

 private:
  EntryTable table_;
};

}  // namespace norvax
