// The monthly totals: one row per billing period and connection of the connection log.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "dialup/monthly_totals.h"

class QLabel;
class QPushButton;
class QTreeView;

#include "windows/report_table.h"

namespace norvax {

class FileStore;
class UserDialogs;

// The groups of the totals as rows.
class TotalsTableModel : public ReportTableModel {
  Q_OBJECT

 public:
  explicit TotalsTableModel(std::string separator, QObject* parent = nullptr);

  void SetGroups(std::vector<TotalRecord> groups);
  const std::vector<TotalRecord>& Groups() const { return groups_; }
  // A column of a row as shown (CP932).
  std::string Cell(int row, int column) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;

 protected:
  std::string CellText(int row, int column) const override;

 private:
  std::vector<TotalRecord> groups_;
  std::string separator_;
};

class TForm9 : public QDialog {
  Q_OBJECT

 public:
  // Totals the log of the program directory at once.
  TForm9(FileStore& files, UserDialogs& dialogs, QWidget* parent = nullptr);

  QTreeView* ListView1;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QPushButton* Button3;
  QPushButton* CsvButton;
  TotalsTableModel* Model() const { return model_; }

  // Asks for the CSV file to write; an empty text when the user gives up.
  std::function<QString()> chooseCsvPath;

 public slots:
  void Button3Click();
  void CsvButtonClick();

 private:
  void FormCreate();

  FileStore& files_;
  UserDialogs& dialogs_;
  std::string separator_;
  TotalsTableModel* model_;
};

}  // namespace norvax
