#include "core/register_rules.h"

#include <cstdio>

#include "platform/cp932.h"

namespace norvax {

RegisterButtons ButtonsAtCreation() { return RegisterButtons{}; }

RegisterButtons ButtonsAfterSelect(RegisterButtons current, std::size_t rowCount) {
  if (rowCount == 0) return current;
  return RegisterButtons{true, true, true, true, true};
}

RegisterButtons ButtonsAfterLastDeleted(RegisterButtons current) {
  return RegisterButtons{false, current.ok, false, false, false};
}

std::string RowNumberText(std::size_t rowIndex) {
  std::string digits = std::to_string(rowIndex + 1);
  if (digits.size() > 3) digits.resize(3);
  return std::string(3 - digits.size(), ' ') + digits;
}

std::string MaskedText(const std::string& value, MaskMoment moment) {
  if (value.size() <= 20) return std::string(value.size(), '*');
  return std::string(moment == MaskMoment::AtCreation ? 21 : 20, '*');
}

std::string RegisterDisplayText(const std::string& value, const std::string& displayPref,
                                MaskMoment moment) {
  return displayPref == "1" ? MaskedText(value, moment) : value;
}

RegisterRow DisplayRow(const EntryTable& table, std::size_t i, const PreferenceList& prefs,
                       MaskMoment moment) {
  static const std::string kNone;
  const std::string& idPref = prefs.Size() > IdDisplay ? prefs[IdDisplay] : kNone;
  const std::string& passPref = prefs.Size() > PassDisplay ? prefs[PassDisplay] : kNone;
  return RegisterRow{
      table.Value(i, Column::Title),
      RegisterDisplayText(table.Value(i, Column::Id), idPref, moment),
      RegisterDisplayText(table.Value(i, Column::Pass), passPref, moment),
      table.Value(i, Column::Browser),
      table.Value(i, Column::Connection),
      table.Value(i, Column::Set1),
      table.Value(i, Column::Set2),
  };
}

std::optional<std::string> UnstorableTableMessage(const EntryTable& table) {
  for (std::size_t i = 0; i < table.Count(); ++i) {
    for (std::size_t c = 0; c < kColumnCount; ++c) {
      if (HoldsLineBreak(table.Value(i, ColumnAt(c)))) {
        return std::to_string(i + 1) + Sjis("番目の登録に改行を含む値があるため保存できません。");
      }
    }
  }
  return std::nullopt;
}

WorkingTable::WorkingTable(const EntryTable& source) : table_(source) {
  // Every column holds exactly one value per row, so rows move as one.
  table_.NormaliseColumns();
}

int WorkingTable::Delete(int a) {
  const int n = static_cast<int>(Count());
  if (a < 0 || a >= n) return -1;
  table_.Remove(static_cast<std::size_t>(a));
  if (n - 1 <= 0) return -1;
  return a < n - 1 ? a : a - 1;
}

int WorkingTable::MoveUp(int a) {
  const int n = static_cast<int>(Count());
  if (a <= 0 || a >= n) return -1;
  table_.Move(static_cast<std::size_t>(a), static_cast<std::size_t>(a - 1));
  return a - 1;
}

int WorkingTable::MoveDown(int a) {
  const int n = static_cast<int>(Count());
  if (a < 0 || a >= n - 1) return -1;
  table_.Move(static_cast<std::size_t>(a), static_cast<std::size_t>(a + 1));
  return a + 1;
}

}  // namespace norvax
