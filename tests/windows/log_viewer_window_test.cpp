#include "windows/log_viewer_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

#include "dialup/connection_log.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_help.h"
#include "fakes/fake_user_dialogs.h"
#include "fakes/memory_file_store.h"
#include "platform/cp932.h"
#include "platform/qt/qt_user_dialogs.h"
#include "test_files.h"
#include "windows/monthly_totals_window.h"

namespace norvax {
namespace {

using testing::Sjis;

std::string Line(const std::string& date, const std::string& name) {
  return date + ",\"" + name + "\",10:00:00,0010,0000,0010,0000,\"1\",00,0000," +
         date.substr(0, 7) + ", ,00010,0000\r\n";
}

// Numbers are grouped with the locale's separator: the tests fix the locale.
struct JapaneseLocale {
  QLocale saved;
  JapaneseLocale() { QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan)); }
  ~JapaneseLocale() { QLocale::setDefault(saved); }
};

struct LogViewer : ::testing::Test {
  JapaneseLocale locale;
  fakes::MemoryFileStore files;
  fakes::FakeUserDialogs dialogs;
  fakes::FakeHelp help;
  fakes::FakeClock clock;

  std::unique_ptr<TForm8> Open() { return std::make_unique<TForm8>(files, dialogs, help, clock); }
  static QString Cell(TForm8& form, int row, int column) {
    return form.Model()->index(row, column).data().toString();
  }
  static std::vector<int> Cutoff(TForm8& form) {
    return {form.SpinEdit1->value(), form.SpinEdit2->value(), form.SpinEdit3->value()};
  }
  void SetCutoff(TForm8& form, int y, int m, int d) {
    form.SpinEdit1->setValue(y);
    form.SpinEdit2->setValue(m);
    form.SpinEdit3->setValue(d);
  }
};

TEST_F(LogViewer, ShowsEveryLineInItsNineColumns) {
  files.files[kLogFileName] =
      Sjis(
          "1999/03/25,\"夜間 プロバイダ\",22:32:00,3725,12345,0090,0100,\"03 1122\",01,2000,"
          "1999/03, ,03889,0000\r\n") +
      "1999/03/26,\"a,\"\"b\"\"\",01:00:00,90000,0,0,0,\"1\",12,0,1999/03, ,1,0000\r\n"
      "1999/03/27,Dial Up,01:00:00,0010,0000,0010,0000,\"1\",00,0000,1999/03, ,1,0000\r\n"
      "\r\n" +
      Line("1999/03/28", "after the empty line");
  auto form = Open();
  EXPECT_EQ(form->windowTitle(), QStringLiteral("ログ"));
  EXPECT_EQ(form->Model()->rowCount(), 3) << "reading stops at the first empty line";

  EXPECT_EQ(form->Model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
            QStringLiteral("接続先            "));
  // Each column's header stands as its cells do.
  const Qt::Alignment aligned[] = {Qt::AlignLeft,    Qt::AlignLeft,  Qt::AlignHCenter,
                                   Qt::AlignHCenter, Qt::AlignRight, Qt::AlignRight,
                                   Qt::AlignRight,   Qt::AlignLeft,  Qt::AlignHCenter};
  for (int c = 0; c < 9; ++c) {
    const auto header = form->Model()->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole);
    const auto cell = form->Model()->index(0, c).data(Qt::TextAlignmentRole);
    EXPECT_EQ(header.value<Qt::Alignment>() & Qt::AlignHorizontal_Mask, aligned[c]) << c;
    EXPECT_EQ(cell.value<Qt::Alignment>() & Qt::AlignHorizontal_Mask, aligned[c]) << c;
  }

  QStringList first;
  for (int c = 0; c < 9; ++c) first << Cell(*form, 0, c);
  EXPECT_EQ(first, (QStringList{"1999/03/25", "夜間 プロバイダ", "22:32:00", "1:02:05",
                                "    12,345", "        90", "       100", "03 1122", " 1"}));
  EXPECT_EQ(Cell(*form, 1, 1), QStringLiteral("a,\"b\""));
  EXPECT_EQ(Cell(*form, 1, 3), QStringLiteral("25:00:00"));
  EXPECT_EQ(Cell(*form, 1, 8), QStringLiteral("12"));
  // Without quotes the name splits at the blank and the later columns shift by one.
  EXPECT_EQ(Cell(*form, 2, 1), QStringLiteral("Dial"));
  EXPECT_EQ(Cell(*form, 2, 2), QStringLiteral("Up"));
  EXPECT_EQ(Cell(*form, 2, 3), QStringLiteral("01:00:00"));
  EXPECT_TRUE(dialogs.errors.empty());

  form->Button4->click();
  EXPECT_EQ(help.topics, std::vector<std::string>{"NV030"});
}

TEST_F(LogViewer, GroupsNumbersWithTheLocalesSeparator) {
  files.files[kLogFileName] =
      "1999/03/25,\"A\",22:32:00,3725,1234567,0,0,\"1\",01,2000,1999/03, ,03889,0000\r\n";
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(Cell(*Open(), 0, 4), QStringLiteral(" 1.234.567"));
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  EXPECT_EQ(Cell(*Open(), 0, 4), QStringLiteral(" 1,234,567"));
}

TEST_F(LogViewer, CutoffProposedOnOpening) {
  struct Case {
    std::optional<std::string> log;
    LocalDateTime today;
    std::vector<int> cutoff;
  } cases[] = {
      {Line("1999/01/01", "a"), {2000, 2, 10}, {1999, 11, 15}},
      {Line("1999/01/01", "a"), {2000, 5, 31}, {2000, 2, 15}},
      {"", {2000, 5, 31}, {2000, 2, 15}},           // an empty log still exists
      {std::nullopt, {2000, 5, 31}, {1998, 1, 1}},  // no log: the initial values
  };
  for (const auto& c : cases) {
    files.files.clear();
    if (c.log) files.files[kLogFileName] = *c.log;
    clock.now = c.today;
    auto form = Open();
    EXPECT_EQ(Cutoff(*form), c.cutoff) << c.today.year << "/" << c.today.month;
  }
}

TEST_F(LogViewer, RowClickSetsTheCutoffWithinRange) {
  files.files[kLogFileName] = Line("1997/12/20", "old") + Line("1999/04/15", "b") +
                              "abcd/xx/yy,\"c\",10:00:00,1,0,0,0,\"1\",00\r\n";
  auto form = Open();
  form->ListView1Click(form->Model()->index(1, 2));
  EXPECT_EQ(Cutoff(*form), (std::vector<int>{1999, 4, 15}));
  form->ListView1Click(form->Model()->index(0, 0));
  EXPECT_EQ(Cutoff(*form), (std::vector<int>{1998, 12, 20}));
  form->ListView1Click(form->Model()->index(2, 0));  // no date there: nothing changes
  EXPECT_EQ(Cutoff(*form), (std::vector<int>{1998, 12, 20}));
  form->SpinEdit2->setValue(40);
  EXPECT_EQ(form->SpinEdit2->value(), 12);
}

TEST_F(LogViewer, MoveTakesTheCutoffDayAndKeepsTheNext) {
  const std::string archive = Line("1998/01/01", "archived");
  files.files[kLogArchiveName] = archive;
  files.files[kLogFileName] = Line("1999/04/14", "a") + Line("1999/04/15", "b") +
                              Line("1999/04/16", "c") + Line("1999/03/01", "d");
  clock.now = {1999, 6, 10};
  auto form = Open();
  SetCutoff(*form, 1999, 4, 15);
  form->Button1->click();
  ASSERT_TRUE(dialogs.errors.empty());
  ASSERT_EQ(dialogs.confirmations.size(), 1u);
  EXPECT_EQ(dialogs.confirmations[0],
            Sjis("1999/04/15以前のログを移動します。\r\n\r\n/memory/NORVA.LOG -> "
                 "\r\n/memory/NORVALOG.OLD"));
  EXPECT_EQ(files.files[kLogArchiveName],
            archive + Line("1999/04/14", "a") + Line("1999/04/15", "b") + Line("1999/03/01", "d"));
  EXPECT_EQ(files.files[kLogFileName], Line("1999/04/16", "c"));
  EXPECT_FALSE(files.Exists(kLogTempName));
  ASSERT_EQ(form->Model()->rowCount(), 1);
  EXPECT_EQ(Cell(*form, 0, 1), QStringLiteral("c"));

  // Everything old: an empty log and an empty list; opening again proposes the default.
  SetCutoff(*form, 1999, 6, 10);
  form->Button1->click();
  EXPECT_EQ(files.files[kLogFileName], "");
  EXPECT_EQ(form->Model()->rowCount(), 0);
  auto again = Open();
  EXPECT_EQ(again->Model()->rowCount(), 0);
  EXPECT_EQ(Cutoff(*again), (std::vector<int>{1999, 3, 15}));
}

TEST_F(LogViewer, RefusedOrCancelledMoveTouchesNoFile) {
  struct Case {
    const char* name;
    std::optional<std::string> log;
    std::vector<int> cutoff;
    bool answer;
    std::string error;
  } cases[] = {
      {"cancelled", Line("1999/04/14", "a"), {1999, 4, 15}, false, ""},
      {"future", Line("1999/04/14", "a"), {1999, 6, 11}, true, Sjis("1999/06/11は未来日付です。")},
      {"no log", std::nullopt, {1999, 4, 15}, true, Sjis("ログファイルがありません。")},
      {"empty log", "", {1999, 4, 15}, true, Sjis("ログが０件です。")},
  };
  clock.now = {1999, 6, 10};
  for (const auto& c : cases) {
    files.files.clear();
    if (c.log) files.files[kLogFileName] = *c.log;
    files.files[kLogArchiveName] = Line("1998/01/01", "archived");
    auto before = files.files;
    dialogs = {};
    dialogs.confirmAnswer = c.answer;
    auto form = Open();
    int rows = form->Model()->rowCount();
    SetCutoff(*form, c.cutoff[0], c.cutoff[1], c.cutoff[2]);
    form->Button1->click();
    EXPECT_EQ(files.files, before) << c.name;
    EXPECT_EQ(form->Model()->rowCount(), rows) << c.name;
    if (c.error.empty()) {
      EXPECT_TRUE(dialogs.errors.empty()) << c.name;
      EXPECT_EQ(dialogs.confirmations.size(), 1u) << c.name;
    } else {
      EXPECT_EQ(dialogs.errors, std::vector<std::string>{c.error}) << c.name;
    }
  }
}

TEST_F(LogViewer, FailedMoveIsReportedAndFinishedOnTheNextOpening) {
  const std::string log = Line("1999/04/14", "a") + Line("1999/04/16", "c");
  files.files[kLogFileName] = log;
  clock.now = {1999, 6, 10};
  auto form = Open();
  SetCutoff(*form, 1999, 4, 15);
  files.failAt = files.operations + 2;  // after the temporary file and the archive cut
  form->Button1->click();
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_NE(dialogs.errors[0].find("NORVALOG.OLD"), std::string::npos);
  EXPECT_EQ(form->Model()->rowCount(), 2) << "nothing is taken off the list";

  files.failAt = -1;
  auto again = Open();
  EXPECT_EQ(files.files[kLogFileName], Line("1999/04/16", "c"));
  EXPECT_EQ(files.files[kLogArchiveName], Line("1999/04/14", "a"));
  EXPECT_EQ(again->Model()->rowCount(), 1);
}

TEST_F(LogViewer, ExportsTheShownLinesAsCsv) {
  testing::TempDir dir;
  files.files[kLogFileName] = Sjis(
      "1999/03/25,\"夜間,ネット\",22:32:00,3725,12345,0090,0100,"
      "\"0311\",01,2000,1999/03, ,03889,0000\r\n");
  auto form = Open();
  const QString path = QString::fromStdString((dir / "log.csv").string());
  form->chooseCsvPath = [&] { return path; };
  form->CsvButton->click();
  EXPECT_TRUE(dialogs.errors.empty());
  EXPECT_EQ(testing::ReadFile(dir / "log.csv"),
            "\xEF\xBB\xBF"
            "日付,接続先,開始時刻,接続時間,接続料金,電話料金,ﾃﾚﾎｰﾀﾞｲ,電話番号,ﾘﾀﾞｲﾔﾙ\r\n"
            "1999/03/25,\"夜間,ネット\",22:32:00,1:02:05,12345,90,100,0311,1\r\n");

  form->chooseCsvPath = [&] { return QString::fromStdString((dir / "no/such/x.csv").string()); };
  form->CsvButton->click();
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_EQ(dialogs.errors[0],
            Cp932ForDisplay("CSVファイル「" + (dir / "no/such/x.csv").string() +
                            "」を保存できませんでした。\n保存先のフォルダがありません。"));

  form->chooseCsvPath = [] { return QString(); };  // the user gave up
  form->CsvButton->click();
  EXPECT_EQ(dialogs.errors.size(), 1u);
}

TEST_F(LogViewer, ReadsTheLogAgainWhenAnotherProgramChangedIt) {
  files.files[kLogFileName] = Line("1999/04/14", "a") + Line("1999/04/16", "b");
  auto form = Open();
  ASSERT_EQ(form->Model()->rowCount(), 2);
  files.files[kLogFileName] = Line("1999/04/16", "b");  // moved away by another program
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(form.get(), &activate);
  EXPECT_EQ(form->Model()->rowCount(), 1);
  EXPECT_EQ(Cell(*form, 0, 1).trimmed(), QStringLiteral("b"));
}

TEST_F(LogViewer, ANameWithoutExtensionGetsCsv) {
  testing::TempDir dir;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->setDirectory(QString::fromStdString(dir.Path().string()));
    dialog->selectFile(QStringLiteral("export"));
    QMetaObject::invokeMethod(dialog, "accept");
  });
  EXPECT_EQ(AskCsvPath(nullptr, QStringLiteral("NORVA.csv")),
            QString::fromStdString((dir / "export.csv").string()));
}

TEST_F(LogViewer, ListTakesTheWindowsSizeAndTheButtonsStayAlongTheBottom) {
  auto form = Open();
  EXPECT_EQ(form->size(), QSize(644, 380)) << "the design-time size";
  form->show();
  for (QSize size : {QSize(900, 600), QSize(644, 380), QSize(100, 50)}) {
    form->resize(size);
    const QRect list = form->ListView1->geometry();
    const QRect help(form->Button4->mapTo(form.get(), QPoint()), form->Button4->size());
    EXPECT_EQ(form->width(), std::max(size.width(), 644)) << "only as narrow as the buttons";
    EXPECT_TRUE(form->rect().contains(help)) << size.width() << "x" << size.height();
    EXPECT_EQ(form->height() - help.top(), 380 - 344) << "as far from the bottom as designed";
    EXPECT_EQ(list.top(), 5);
    EXPECT_EQ(help.top() - list.bottom(), 344 - 332) << "the list reaches down to the row";
  }
  EXPECT_GE(form->ListView1->height(), 100) << "the smallest window still shows rows";
}

// The main window hides while the viewer shows: a window manager shows no dialog of it. The
// viewer is a window of its own, and every window opened over it is a dialog of the window
// on top.
TEST_F(LogViewer, OverTheHiddenMainWindowOpensAsAWindowWithTheTotalsAsItsDialog) {
  files.files[kLogFileName] = Line("1999/04/14", "a") + Line("1999/04/15", "a");
  QWidget mainWindow;
  QtUserDialogs boxes(&mainWindow);
  bool viewerOwnWindow = false, totalsOverViewer = false, boxOverTotals = false;
  int seenRows = -1;
  QTimer::singleShot(0, [&] {
    auto* viewer = qobject_cast<TForm8*>(QApplication::activeModalWidget());
    if (!viewer) return;
    viewerOwnWindow = viewer->windowType() == Qt::Window && viewer->parentWidget() == nullptr;
    QTimer::singleShot(0, [&] {
      auto* totals = qobject_cast<TForm9*>(QApplication::activeModalWidget());
      if (!totals) return;
      totalsOverViewer = totals->windowType() == Qt::Dialog && totals->parentWidget() == viewer;
      seenRows = totals->Model()->rowCount();
      QTimer::singleShot(0, [&] {
        boxOverTotals = QApplication::activeModalWidget()->parentWidget() == totals;
        QApplication::activeModalWidget()->close();
      });
      boxes.ShowError("x");
      totals->Button3->click();
    });
    viewer->Button2->click();
    viewer->Button3->click();
  });
  ShowLogViewer(files, dialogs, help, clock, &mainWindow);
  EXPECT_TRUE(viewerOwnWindow);
  EXPECT_TRUE(totalsOverViewer);
  EXPECT_TRUE(boxOverTotals);
  EXPECT_EQ(seenRows, 1);
}

}  // namespace
}  // namespace norvax
