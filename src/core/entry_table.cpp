#include "core/entry_table.h"

#include <algorithm>
#include <stdexcept>

#include "platform/cp932.h"

namespace norvax {
namespace {

constexpr std::array<ColumnInfo, kColumnCount> kColumns{{
    {"LIST01", true, true, ""},
    {"LIST02", true, true, ""},
    {"LIST03", true, true, ""},
    {"LIST04", true, true, ""},
    {"LIST05", true, true, ""},
    {"LIST05a", false, true, ""},
    {"LIST05b", false, false, ""},
    {"LIST05c", false, false, "0"},
    {"LIST05d", false, false, "0"},
    {"LIST06", true, true, ""},
    {"LIST07", true, true, ""},
    {"LIST08", false, false, "000"},
    {"LIST09", false, false, ""},
    {"LIST10", true, false, ""},
    {"LIST11", false, false, kDefaultDialProfile},
}};

const std::string kEmpty;

}  // namespace

bool HoldsLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

std::string LineBreakMessage(std::string_view fieldUtf8) {
  return Sjis("「" + std::string(fieldUtf8) + "」に改行は使えません。改行を除いて下さい。");
}

const ColumnInfo& Info(Column column) { return kColumns[static_cast<std::size_t>(column)]; }

Column ColumnAt(std::size_t index) {
  if (index >= kColumnCount) throw std::out_of_range("column index");
  return static_cast<Column>(index);
}

Entry Entry::New() {
  Entry e;
  for (std::size_t i = 0; i < kColumnCount; ++i) e.values[i] = std::string(kColumns[i].fill);
  e[Column::SetPass] = "0";
  return e;
}

const std::string& EntryTable::Value(std::size_t i, Column c) const {
  const auto& list = List(c);
  return i < list.size() ? list[i] : kEmpty;
}

Entry EntryTable::Get(std::size_t i) const {
  if (i >= Count()) throw std::out_of_range("entry number");
  Entry e;
  for (std::size_t c = 0; c < kColumnCount; ++c) e.values[c] = Value(i, ColumnAt(c));
  return e;
}

void EntryTable::Set(std::size_t i, const Entry& entry) {
  if (i >= Count()) throw std::out_of_range("entry number");
  NormaliseColumns();
  for (std::size_t c = 0; c < kColumnCount; ++c) columns_[c][i] = entry.values[c];
}

void EntryTable::Append(const Entry& entry) { Insert(Count(), entry); }

void EntryTable::Insert(std::size_t i, const Entry& entry) {
  if (i > Count()) throw std::out_of_range("entry number");
  NormaliseColumns();
  for (std::size_t c = 0; c < kColumnCount; ++c) {
    columns_[c].insert(columns_[c].begin() + static_cast<std::ptrdiff_t>(i), entry.values[c]);
  }
}

void EntryTable::Remove(std::size_t i) {
  if (i >= Count()) throw std::out_of_range("entry number");
  NormaliseColumns();
  for (auto& list : columns_) list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
}

void EntryTable::Move(std::size_t from, std::size_t to) {
  if (from >= Count() || to >= Count()) throw std::out_of_range("entry number");
  NormaliseColumns();
  for (auto& list : columns_) {
    auto value = std::move(list[from]);
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(from));
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(to), std::move(value));
  }
}

void EntryTable::Clear() {
  for (auto& list : columns_) list.clear();
}

void EntryTable::NormaliseColumns() {
  const std::size_t n = Count();
  for (std::size_t c = 0; c < kColumnCount; ++c) {
    if (kColumns[c].key) continue;
    auto& list = columns_[c];
    if (list.size() > n) list.resize(n);
    while (list.size() < n) list.emplace_back(kColumns[c].fill);
  }
}

}  // namespace norvax
