// The log viewer: lists the connection log, moves its old lines to the archive and opens
// the monthly totals.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dialup/log_view.h"
#include "windows/report_table.h"

class QLabel;
class QPushButton;
class QSpinBox;
class QTreeView;

namespace norvax {

class Clock;
class FileStore;
class Help;
class UserDialogs;

// The locale's thousands separator as CP932 text; "," when the locale's has no CP932 form.
std::string LocaleThousandsSeparator();

// The rows of the log viewer: one per log line, in file order. A row's columns are worked
// out when the view asks for them, so a long log opens at the speed of reading it.
class LogTableModel : public ReportTableModel {
  Q_OBJECT

 public:
  explicit LogTableModel(std::string separator, QObject* parent = nullptr);

  void SetLines(std::vector<std::string> lines);
  const std::vector<std::string>& Lines() const { return lines_; }
  // The row as shown (CP932 columns).
  const LogViewRow& Row(int row) const;
  // Drops the rows whose line moved to the archive with this cut-off.
  void RemoveMovedRows(const std::string& cutoff);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;

 protected:
  std::string CellText(int row, int column) const override;

 private:
  std::vector<std::string> lines_;
  std::string separator_;
  // The view asks for a row's columns one after another: the last row worked out is kept.
  mutable int cachedRow_ = -1;
  mutable LogViewRow cached_;
};

class TForm8 : public QDialog {
  Q_OBJECT

 public:
  // files is the program directory; today comes from clock.
  TForm8(FileStore& files, UserDialogs& dialogs, Help& help, const Clock& clock,
         QWidget* parent = nullptr);

  QTreeView* ListView1;
  QSpinBox* SpinEdit1;
  QLabel* Label1;
  QSpinBox* SpinEdit2;
  QLabel* Label2;
  QSpinBox* SpinEdit3;
  QLabel* Label3;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;
  QPushButton* Button4;
  QPushButton* CsvButton;
  LogTableModel* Model() const { return model_; }

  // Asks for the CSV file to write; an empty text when the user gives up.
  std::function<QString()> chooseCsvPath;

 public slots:
  void ListView1Click(const QModelIndex& index);
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void CsvButtonClick();

 protected:
  bool event(QEvent* event) override;

 private:
  void FormCreate();
  // Reads the log again when its size changed since it was read: another program (norvaxctl,
  // a second copy's call) wrote or moved lines while the window was open.
  void ReloadIfChanged();

  FileStore& files_;
  UserDialogs& dialogs_;
  Help& help_;
  const Clock& clock_;
  LogTableModel* model_;
  std::optional<uint64_t> shownSize_;
};

// Shows the log viewer modally (the main window's log command) over the files of the
// program directory.
void ShowLogViewer(FileStore& files, UserDialogs& dialogs, Help& help, const Clock& clock,
                   QWidget* parent);

// Writes CSV text to a file the user chose (a UTF-8 path); errors are shown. Used by the
// viewer and the totals window.
void SaveCsv(const QString& path, const std::string& csv, UserDialogs& dialogs);

// The file dialog that asks where a CSV file goes.
QString AskCsvPath(QWidget* parent, const QString& suggestedName);

}  // namespace norvax
