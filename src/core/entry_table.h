// The registered entries, held column by column: one list of strings per field, the
// entry number (from 0) being the index into every list.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace norvax {

// Columns in the order used throughout the program, each stored in its own section.
enum class Column : std::size_t {
  Title,            // LIST01
  Id,               // LIST02
  Pass,             // LIST03
  Browser,          // LIST04
  Connection,       // LIST05
  SetPass,          // LIST05a
  WorkDirectory,    // LIST05b
  OwnDialler,       // LIST05c
  Maximise,         // LIST05d
  Set1,             // LIST06
  Set2,             // LIST07
  ProxyFlags,       // LIST08
  ProxyServers,     // LIST09
  ProxyExceptions,  // LIST10
  DialProfile,      // LIST11
};

inline constexpr std::size_t kColumnCount = 15;

// The default dial profile of a new entry and of entries read from an older file.
inline constexpr std::string_view kDefaultDialProfile =
    "0;20;1; ;1;0;0;0;0;0;0;1;10;180;10;180;10;240;0;";

// The settings file holds one value per line, so no value of an entry may hold a line
// break: every window and command that takes text for an entry refuses one with
// LineBreakMessage, before the text reaches the table.
bool HoldsLineBreak(std::string_view text);
// "「<field>」に改行は使えません。改行を除いて下さい。", the field named as its window names it
// (UTF-8).
std::string LineBreakMessage(std::string_view fieldUtf8);

struct ColumnInfo {
  std::string_view section;
  bool scrambled;
  // A key column always holds one value per entry; the others are brought to length
  // with the fill value when a file lacks them.
  bool key;
  std::string_view fill;
};

const ColumnInfo& Info(Column column);
Column ColumnAt(std::size_t index);

// One entry: a value per column.
struct Entry {
  std::array<std::string, kColumnCount> values;

  std::string& operator[](Column c) { return values[static_cast<std::size_t>(c)]; }
  const std::string& operator[](Column c) const { return values[static_cast<std::size_t>(c)]; }

  // A new entry: every column empty but the proxy flags "000", the flags "0" and the
  // default dial profile.
  static Entry New();

  bool operator==(const Entry&) const = default;
};

class EntryTable {
 public:
  using ColumnList = std::vector<std::string>;

  // Number of entries: the length of the title column.
  std::size_t Count() const { return columns_[0].size(); }

  ColumnList& List(Column c) { return columns_[static_cast<std::size_t>(c)]; }
  const ColumnList& List(Column c) const { return columns_[static_cast<std::size_t>(c)]; }

  // The value of a column for entry i ("" when the column is shorter than the table).
  const std::string& Value(std::size_t i, Column c) const;

  Entry Get(std::size_t i) const;
  void Set(std::size_t i, const Entry& entry);
  void Append(const Entry& entry);
  void Insert(std::size_t i, const Entry& entry);
  void Remove(std::size_t i);
  // Moves entry from to position to, shifting the entries between.
  void Move(std::size_t from, std::size_t to);

  void Clear();

  // Brings every column that is not a key column to exactly one value per entry: missing
  // values get the column's fill value, values beyond the last entry are dropped.
  void NormaliseColumns();

  bool operator==(const EntryTable&) const = default;

 private:
  std::array<ColumnList, kColumnCount> columns_;
};

}  // namespace norvax
