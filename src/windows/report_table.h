// The report lists of the log viewer and the monthly totals: a table model over columns
// with fixed captions, widths and alignments, and the list view that shows it.
#pragma once

#include <QAbstractTableModel>
#include <QRect>
#include <string>
#include <vector>

class QTreeView;
class QWidget;

namespace norvax {

struct ReportColumn {
  const char* caption;
  int width;
  Qt::Alignment alignment;
  const char* fit;  // text the column is widened to show in full, when the font needs it
};

inline constexpr Qt::Alignment kReportLeft = Qt::AlignLeft | Qt::AlignVCenter;
inline constexpr Qt::Alignment kReportCentre = Qt::AlignHCenter | Qt::AlignVCenter;
inline constexpr Qt::Alignment kReportRight = Qt::AlignRight | Qt::AlignVCenter;

class ReportTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit ReportTableModel(std::vector<ReportColumn> columns, QObject* parent = nullptr);

  const std::vector<ReportColumn>& Columns() const { return columns_; }

  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 protected:
  // The text (CP932) of a cell of a row that exists.
  virtual std::string CellText(int row, int column) const = 0;

 private:
  std::vector<ReportColumn> columns_;
};

// A report list over model: one selected row at a time, not editable, the columns at their
// widths, widened where the font needs it for the column's fit text.
void SetUpReportView(QTreeView* view, ReportTableModel* model);

// Lays out a report window of the design-time size with its list at listGeometry and a row
// of controls below the list, and returns that row: its controls go at their design-time
// places, with y counted from the list's bottom. The list takes whatever the window grows or
// shrinks by; the row stays along the bottom edge. The window opens at its design-time size
// and is never narrower than that, so the row always shows in full.
QWidget* LayOutReportWindow(QWidget* window, QSize size, QTreeView* list, QRect listGeometry);

}  // namespace norvax
