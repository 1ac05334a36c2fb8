#include "windows/monthly_totals_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeView>

#include "dialup/connection_log.h"
#include "fakes/fake_user_dialogs.h"
#include "fakes/memory_file_store.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

std::string Line(const std::string& name, const std::string& period, int seconds, int provider,
                 int phone, int flat, int fee) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer,
                "%s/15,\"%-8.20s\",10:00:00,%.4d,%.4d,%.4d,%.4d,\"1\",00,%.4d,%-7.7s, ,00010,"
                "0000\r\n",
                period.c_str(), name.c_str(), seconds, provider, phone, flat, fee, period.c_str());
  return buffer;
}

struct MonthlyTotals : ::testing::Test {
  MonthlyTotals() { QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan)); }
  ~MonthlyTotals() override { QLocale::setDefault(saved); }
  QLocale saved;
  fakes::MemoryFileStore files;
  fakes::FakeUserDialogs dialogs;

  static QStringList Row(TForm9& form, int row) {
    QStringList cells;
    for (int c = 0; c < 8; ++c) cells << form.Model()->index(row, c).data().toString();
    return cells;
  }
};

TEST_F(MonthlyTotals, GroupsInOrderOfFirstLinesWithTheFirstFixedCharge) {
  files.files[kLogFileName] =
      Line("B", "1999/04", 100000, 1000, 10, 1, 2000) + Line("A", "1999/04", 5, 1, 0, 0, 500) +
      Line("B", "1999/04", 100000, 234, 20, 2, 9999) + Line("B", "1999/03", 59, 0, 0, 0, 100) +
      Line("B", "1999/04", 0, 0, 30, 3, 7777);
  TForm9 form(files, dialogs);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("月間合計"));
  ASSERT_EQ(form.Model()->rowCount(), 3);
  EXPECT_EQ(Row(form, 0), (QStringList{"1999/04", "B       ", "55:33:20", "     1,234",
                                       "     2,000", "        60", "         6", ""}));
  EXPECT_EQ(Row(form, 1)[1], QStringLiteral("A       "));
  EXPECT_EQ(Row(form, 1)[4], QStringLiteral("       500"));
  EXPECT_EQ(Row(form, 2)[0], QStringLiteral("1999/03"));
  EXPECT_EQ(Row(form, 2)[2], QStringLiteral("00:00:59"));
  EXPECT_EQ(form.Label2->text(), QStringLiteral("      5"));
  EXPECT_EQ(form.Label4->text(), QStringLiteral("      3"));

  EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(MonthlyTotals, EmptyWindowsAndTheirMessages) {
  std::string tooMany;
  for (int i = 0; i <= 2000; ++i)
    tooMany += Line("N" + std::to_string(i), "1999/04", 1, 0, 0, 0, 0);
  std::string justEnough;
  for (int i = 0; i < 2000; ++i)
    justEnough += Line("N" + std::to_string(i), "1999/04", 1, 0, 0, 0, 0);
  struct Case {
    const char* name;
    std::optional<std::string> log;
    std::vector<std::string> errors;
    int rows;
    QString lines;
  } cases[] = {
      {"no log", std::nullopt, {}, 0, ""},
      {"empty log", "", {}, 0, "      0"},
      {"2001 groups", tooMany, {Sjis("合計件数オーバー。ログを移動して下さい。")}, 0, ""},
      {"2000 groups", justEnough, {}, 2000, "  2,000"},
      {"unreadable line",
       "1999/04/15,\"A\",10:00:00,xx,0,0,0\r\n",
       {Sjis("NORVA.LOG の 1 行目が読めません (項目 4)")},
       0,
       ""},
  };
  for (const auto& c : cases) {
    files.files.clear();
    if (c.log) files.files[kLogFileName] = *c.log;
    dialogs = {};
    TForm9 form(files, dialogs);
    EXPECT_EQ(dialogs.errors, c.errors) << c.name;
    EXPECT_EQ(form.Model()->rowCount(), c.rows) << c.name;
    EXPECT_EQ(form.Label2->text(), c.lines) << c.name;
  }
}

TEST_F(MonthlyTotals, ExportsTheTotalsAsCsv) {
  testing::TempDir dir;
  files.files[kLogFileName] = Line(Sjis("夜間"), "1999/04", 3600, 1234, 5, 6, 2000) +
                              Line(Sjis("夜間"), "1999/04", 1, 1, 1, 1, 1);
  TForm9 form(files, dialogs);
  form.chooseCsvPath = [&] { return QString::fromStdString((dir / "totals.csv").string()); };
  form.CsvButton->click();
  EXPECT_TRUE(dialogs.errors.empty());
  EXPECT_EQ(testing::ReadFile(dir / "totals.csv"),
            "\xEF\xBB\xBF"
            "日付,接続先,接続時間,接続料金,固定料金,電話料金,ﾃﾚﾎｰﾀﾞｲ\r\n"
            "1999/04,夜間,01:00:01,1235,2000,6,7\r\n");
}

}  // namespace
}  // namespace norvax
