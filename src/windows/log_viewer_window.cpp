#include "windows/log_viewer_window.h"

#include <QEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTreeView>
#include <algorithm>

#include "dialup/connection_log.h"
#include "dialup/dates.h"
#include "dialup/log_csv.h"
#include "dialup/log_move.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/help.h"
#include "platform/posix/posix_file_store.h"
#include "platform/qt/fonts.h"
#include "platform/qt/modal_owner.h"
#include "platform/qt/qt_user_dialogs.h"
#include "platform/user_dialogs.h"
#include "windows/monthly_totals_window.h"

namespace norvax {
namespace {

const std::vector<ReportColumn> kColumns = {
    {"   日付   ", 62, kReportLeft, "0000/00/00"},
    {"接続先            ", 99, kReportLeft, ""},
    {"開始時刻", 64, kReportCentre, "00:00:00"},
    {"接続時間", 64, kReportCentre, "00:00:00"},
    {"接続料金", 64, kReportRight, "000,000"},
    {"電話料金", 64, kReportRight, "000,000"},
    {"ﾃﾚﾎｰﾀﾞｲ", 59, kReportRight, "000,000"},
    {" 電話番号 ", 72, kReportLeft, "00000000000"},
    {"ﾘﾀﾞｲﾔﾙ", 89, kReportCentre, ""},
};

const std::string& Column(const LogViewRow& row, int column) {
  switch (column) {
    case 0:
      return row.date;
    case 1:
      return row.name;
    case 2:
      return row.start;
    case 3:
      return row.duration;
    case 4:
      return row.provider;
    case 5:
      return row.phone;
    case 6:
      return row.flat;
    case 7:
      return row.number;
    default:
      return row.redials;
  }
}

QSpinBox* SpinEdit(QWidget* parent, const char* name, int min, int max, QRect geometry) {
  auto* spin = new QSpinBox(parent);
  spin->setObjectName(QString::fromLatin1(name));
  spin->setRange(min, max);
  spin->setValue(min);
  spin->setToolTip(QStringLiteral("日付選択で指定出来ます"));
  spin->setGeometry(geometry);
  return spin;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text, QRect geometry) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  button->setGeometry(geometry);
  return button;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, QRect geometry) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(geometry);
  return label;
}

}  // namespace

std::string LocaleThousandsSeparator() {
  auto separator = Utf8ToCp932(QLocale().groupSeparator().toStdString());
  return separator && !separator->empty() ? *separator : std::string(",");
}

LogTableModel::LogTableModel(std::string separator, QObject* parent)
    : ReportTableModel(kColumns, parent), separator_(std::move(separator)) {}

void LogTableModel::SetLines(std::vector<std::string> lines) {
  beginResetModel();
  lines_ = std::move(lines);
  cachedRow_ = -1;
  endResetModel();
}

const LogViewRow& LogTableModel::Row(int row) const {
  if (row != cachedRow_) {
    cached_ = ShownLogViewRow(lines_[static_cast<std::size_t>(row)], separator_);
    cachedRow_ = row;
  }
  return cached_;
}

void LogTableModel::RemoveMovedRows(const std::string& cutoff) {
  beginResetModel();
  std::erase_if(lines_, [&cutoff](const std::string& line) { return LineMoves(line, cutoff); });
  cachedRow_ = -1;
  endResetModel();
}

int LogTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

std::string LogTableModel::CellText(int row, int column) const { return Column(Row(row), column); }

TForm8::TForm8(FileStore& files, UserDialogs& dialogs, Help& help, const Clock& clock,
               QWidget* parent)
    : QDialog(parent),
      files_(files),
      dialogs_(dialogs),
      help_(help),
      clock_(clock),
      model_(new LogTableModel(LocaleThousandsSeparator(), this)) {
  setObjectName(QStringLiteral("TForm8"));
  setWindowTitle(QStringLiteral("ログ"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  ListView1 = new QTreeView(this);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  SetUpReportView(ListView1, model_);
  // The row of controls starts at the list's bottom (333 at design time).
  QWidget* row = LayOutReportWindow(this, {644, 380}, ListView1, {0, 5, 641, 328});
  SpinEdit1 = SpinEdit(row, "SpinEdit1", 1998, 2100, {6, 11, 58, 24});
  Label1 = Label(row, "Label1", QStringLiteral("年"), {67, 11, 16, 24});
  SpinEdit2 = SpinEdit(row, "SpinEdit2", 1, 12, {84, 11, 42, 24});
  Label2 = Label(row, "Label2", QStringLiteral("月"), {129, 11, 16, 24});
  SpinEdit3 = SpinEdit(row, "SpinEdit3", 1, 31, {146, 11, 42, 24});
  Label3 = Label(row, "Label3", QStringLiteral("日以前を"), {191, 11, 52, 24});
  Button1 = Button(row, "Button1", QStringLiteral("移動"), {246, 11, 66, 25});
  Button2 = Button(row, "Button2", QStringLiteral("月間合計"), {318, 11, 66, 25});
  Button3 = Button(row, "Button3", QStringLiteral("終了"), {390, 11, 66, 25});
  CsvButton = Button(row, "CsvButton", QStringLiteral("CSV出力"), {484, 11, 72, 25});
  Button4 = Button(row, "Button4", QStringLiteral("ﾍﾙﾌﾟ"), {570, 11, 66, 25});
  CsvButton->setToolTip(QStringLiteral("表示中のログをCSVファイルに書き出します"));

  setTabOrder(ListView1, Button1);
  setTabOrder(Button1, Button2);
  setTabOrder(Button2, Button3);
  setTabOrder(Button3, SpinEdit1);
  setTabOrder(SpinEdit1, SpinEdit2);
  setTabOrder(SpinEdit2, SpinEdit3);
  setTabOrder(SpinEdit3, Button4);
  setTabOrder(Button4, CsvButton);

  chooseCsvPath = [this] { return AskCsvPath(this, QStringLiteral("NORVA.csv")); };

  connect(ListView1, &QTreeView::clicked, this, &TForm8::ListView1Click);
  connect(Button1, &QPushButton::clicked, this, &TForm8::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm8::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TForm8::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TForm8::Button4Click);
  connect(CsvButton, &QPushButton::clicked, this, &TForm8::CsvButtonClick);

  FormCreate();
}

void TForm8::FormCreate() {
  std::optional<std::vector<std::string>> lines;
  try {
    shownSize_ = files_.Size(kLogFileName);
    lines = ReadLogLines(files_);
  } catch (const FileError& e) {
    dialogs_.ShowError(e.Message());
    return;
  }
  if (!lines) return;
  model_->SetLines(std::move(*lines));
  ListView1->scrollToBottom();
  LocalDateTime now = clock_.Now();
  Date cutoff = DefaultCutoff({now.year, now.month, now.day});
  SpinEdit1->setValue(cutoff.year);
  SpinEdit2->setValue(cutoff.month);
  SpinEdit3->setValue(cutoff.day);
}

void TForm8::ReloadIfChanged() {
  try {
    const auto size = files_.Size(kLogFileName);
    if (size == shownSize_) return;
    auto lines = ReadLogLines(files_);
    shownSize_ = size;
    model_->SetLines(std::move(lines).value_or(std::vector<std::string>{}));
    ListView1->scrollToBottom();
  } catch (const FileError& e) {
    dialogs_.ShowError(e.Message());
  }
}

bool TForm8::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) ReloadIfChanged();
  return QDialog::event(event);
}

void TForm8::ListView1Click(const QModelIndex& index) {
  if (!index.isValid()) return;
  auto date = CutoffOfRowDate(model_->Row(index.row()).date);
  if (!date) return;
  SpinEdit1->setValue(date->year);
  SpinEdit2->setValue(date->month);
  SpinEdit3->setValue(date->day);
}

void TForm8::Button1Click() {
  std::string cutoff = CutoffText(SpinEdit1->value(), SpinEdit2->value(), SpinEdit3->value());
  LocalDateTime now = clock_.Now();
  try {
    auto outcome = MoveLog(files_, dialogs_, cutoff, DateText(now.year, now.month, now.day));
    if (outcome.result == LogMoveResult::kMoved) {
      model_->RemoveMovedRows(cutoff);
      shownSize_ = files_.Size(kLogFileName);
    }
  } catch (const FileError& e) {
    dialogs_.ShowError(e.Message());
  }
}

void TForm8::Button2Click() {
  ReloadIfChanged();
  TForm9 totals(files_, dialogs_, this);
  ExecModal(totals);
}

void TForm8::Button3Click() { close(); }

void TForm8::Button4Click() { help_.ShowTopic(help_topic::kLogViewer); }

void TForm8::CsvButtonClick() {
  ReloadIfChanged();
  QString path = chooseCsvPath();
  if (path.isEmpty()) return;
  SaveCsv(path, LogCsv(model_->Lines()), dialogs_);
}

void ShowLogViewer(FileStore& files, UserDialogs& dialogs, Help& help, const Clock& clock,
                   QWidget* parent) {
  TForm8 form(files, dialogs, help, clock, parent);
  ExecModal(form);
}

void SaveCsv(const QString& path, const std::string& csv, UserDialogs& dialogs) {
  std::filesystem::path file(path.toStdString());
  try {
    PosixFileStore folder(file.parent_path());
    folder.MakeUserFiles();
    WriteCsvFile(folder, file.filename().string(), csv);
  } catch (const FileError& e) {
    std::error_code ec;
    dialogs.ShowError(CsvWriteErrorMessage(
        file.string(), !std::filesystem::is_directory(file.parent_path(), ec), e.Reason()));
  }
}

QString AskCsvPath(QWidget* parent, const QString& suggestedName) {
  QFileDialog dialog(parent, QStringLiteral("CSV出力"), suggestedName,
                     QStringLiteral("CSV (*.csv)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // A name typed without an extension gets ".csv", before the question whether to replace a
  // file of that name.
  dialog.setDefaultSuffix(QStringLiteral("csv"));
  if (ExecModal(dialog) != QDialog::Accepted) return {};
  return dialog.selectedFiles().value(0);
}

}  // namespace norvax
