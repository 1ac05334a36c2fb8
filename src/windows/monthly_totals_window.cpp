#include "windows/monthly_totals_window.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeView>

#include "dialup/connection_log.h"
#include "dialup/log_csv.h"
#include "platform/file_store.h"
#include "platform/qt/qt_user_dialogs.h"
#include "platform/user_dialogs.h"
#include "windows/log_viewer_window.h"

namespace norvax {
namespace {

const std::vector<ReportColumn> kColumns = {
    {"   日付   ", 62, kReportLeft, "0000/00"},    {"接続先            ", 99, kReportLeft, ""},
    {" 接続時間 ", 72, kReportRight, "000:00:00"}, {" 接続料金 ", 72, kReportRight, ""},
    {" 固定料金 ", 72, kReportRight, ""},          {" 電話料金 ", 72, kReportRight, ""},
    {" ﾃﾚﾎｰﾀﾞｲ ", 67, kReportRight, ""},           {"    ", 33, kReportLeft, ""},
};

QLabel* Label(QWidget* parent, const char* name, const QString& text, QRect geometry) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(geometry);
  return label;
}

// A count: right-aligned on white.
QLabel* CountLabel(QWidget* parent, const char* name, QRect geometry) {
  QLabel* label = Label(parent, name, QString(), geometry);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, Qt::white);
  palette.setColor(QPalette::WindowText, Qt::black);
  label->setPalette(palette);
  return label;
}

}  // namespace

TotalsTableModel::TotalsTableModel(std::string separator, QObject* parent)
    : ReportTableModel(kColumns, parent), separator_(std::move(separator)) {}

void TotalsTableModel::SetGroups(std::vector<TotalRecord> groups) {
  beginResetModel();
  groups_ = std::move(groups);
  endResetModel();
}

std::string TotalsTableModel::Cell(int row, int column) const {
  const TotalRecord& g = groups_[static_cast<std::size_t>(row)];
  switch (column) {
    case 0:
      return g.period;
    case 1:
      return g.name;
    case 2:
      return TotalTimeText(g.seconds);
    case 3:
      return GroupedNumber(g.provider, 10, separator_);
    case 4:
      return GroupedNumber(g.fixed, 10, separator_);
    case 5:
      return GroupedNumber(g.phone, 10, separator_);
    case 6:
      return GroupedNumber(g.flat, 10, separator_);
    default:
      return {};
  }
}

int TotalsTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(groups_.size());
}

std::string TotalsTableModel::CellText(int row, int column) const { return Cell(row, column); }

TForm9::TForm9(FileStore& files, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent),
      files_(files),
      dialogs_(dialogs),
      separator_(LocaleThousandsSeparator()),
      model_(new TotalsTableModel(separator_, this)) {
  setObjectName(QStringLiteral("TForm9"));
  setWindowTitle(QStringLiteral("月間合計"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  ListView1 = new QTreeView(this);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  SetUpReportView(ListView1, model_);
  // The row of labels and buttons starts at the list's bottom (326 at design time).
  QWidget* row = LayOutReportWindow(this, {555, 359}, ListView1, {0, 5, 553, 321});
  Label1 = Label(row, "Label1", QStringLiteral("ﾛｸﾞ件数"), {8, 11, 50, 16});
  Label2 = CountLabel(row, "Label2", {60, 11, 41, 16});
  Label3 = Label(row, "Label3", QStringLiteral("月間合計件数"), {150, 11, 78, 16});
  Label4 = CountLabel(row, "Label4", {230, 11, 41, 16});
  Button3 = new QPushButton(QStringLiteral("終了"), row);
  Button3->setObjectName(QStringLiteral("Button3"));
  Button3->setGeometry(368, 5, 75, 25);
  CsvButton = new QPushButton(QStringLiteral("CSV出力"), row);
  CsvButton->setObjectName(QStringLiteral("CsvButton"));
  CsvButton->setGeometry(452, 5, 75, 25);
  CsvButton->setAutoDefault(false);
  CsvButton->setToolTip(QStringLiteral("月間合計をCSVファイルに書き出します"));

  chooseCsvPath = [this] { return AskCsvPath(this, QStringLiteral("NORVA-monthly.csv")); };
  connect(Button3, &QPushButton::clicked, this, &TForm9::Button3Click);
  connect(CsvButton, &QPushButton::clicked, this, &TForm9::CsvButtonClick);

  FormCreate();
}

void TForm9::FormCreate() {
  MonthlyTotalsResult totals;
  try {
    totals = ComputeMonthlyTotals(files_);
  } catch (const FileError& e) {
    dialogs_.ShowError(e.Message());
    return;
  } catch (const LogFormatError& e) {
    dialogs_.ShowError(e.what());
    return;
  }
  if (!totals.logExists) return;
  if (totals.overflow) {
    dialogs_.ShowError(TotalsOverflowMessage());
    return;
  }
  Label2->setText(ToQString(GroupedNumber(totals.lines, 7, separator_)));
  Label4->setText(
      ToQString(GroupedNumber(static_cast<int64_t>(totals.groups.size()), 7, separator_)));
  model_->SetGroups(std::move(totals.groups));
  ListView1->scrollToBottom();
}

void TForm9::Button3Click() { close(); }

void TForm9::CsvButtonClick() {
  QString path = chooseCsvPath();
  if (path.isEmpty()) return;
  SaveCsv(path, TotalsCsv(model_->Groups()), dialogs_);
}

}  // namespace norvax
