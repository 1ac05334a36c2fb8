#include "core/entry_table.h"

#include <gtest/gtest.h>

namespace norvax {
namespace {

Entry Named(const std::string& title) {
  Entry e = Entry::New();
  for (std::size_t c = 0; c < kColumnCount; ++c) e.values[c] = title + std::to_string(c);
  return e;
}

void ExpectInStep(const EntryTable& table, std::vector<std::string> titles) {
  ASSERT_EQ(table.Count(), titles.size());
  for (std::size_t i = 0; i < titles.size(); ++i) {
    for (std::size_t c = 0; c < kColumnCount; ++c) {
      ASSERT_EQ(table.List(ColumnAt(c)).size(), titles.size());
      EXPECT_EQ(table.List(ColumnAt(c))[i], titles[i] + std::to_string(c));
    }
  }
}

TEST(EntryTable, OperationsKeepEveryColumnInStep) {
  EntryTable table;
  table.Append(Named("a"));
  table.Append(Named("b"));
  table.Append(Named("c"));
  table.Move(0, 2);
  ExpectInStep(table, {"b", "c", "a"});
  table.Move(2, 0);
  ExpectInStep(table, {"a", "b", "c"});
  table.Remove(1);
  ExpectInStep(table, {"a", "c"});
  table.Insert(1, Named("x"));
  ExpectInStep(table, {"a", "x", "c"});
  table.Set(2, Named("z"));
  ExpectInStep(table, {"a", "x", "z"});
  EXPECT_EQ(table.Get(1), Named("x"));
  EXPECT_THROW(table.Remove(3), std::out_of_range);
}

TEST(EntryTable, ShortOptionalColumnsAreFilledBeforeEntryOperations) {
  EntryTable table;
  for (Column c : {Column::Title, Column::Id, Column::Pass, Column::Browser, Column::Connection,
                   Column::SetPass, Column::Set1, Column::Set2}) {
    table.List(c) = {"k1", "k2"};
  }
  table.List(Column::DialProfile) = {"p1", "p2", "orphan"};
  table.Append(Named("n"));
  EXPECT_EQ(table.List(Column::DialProfile), (std::vector<std::string>{"p1", "p2", "n14"}));
  EXPECT_EQ(table.List(Column::ProxyFlags), (std::vector<std::string>{"000", "000", "n11"}));
  EXPECT_EQ(table.List(Column::OwnDialler), (std::vector<std::string>{"0", "0", "n7"}));
}

}  // namespace
}  // namespace norvax
