#include "windows/report_table.h"

#include <QHeaderView>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/qt/fonts.h"
#include "platform/qt/qt_user_dialogs.h"

namespace norvax {

ReportTableModel::ReportTableModel(std::vector<ReportColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)) {}

int ReportTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ReportTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::DisplayRole) return ToQString(CellText(index.row(), index.column()));
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(columns_[static_cast<std::size_t>(index.column())].alignment);
  }
  return {};
}

QVariant ReportTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  if (role == Qt::DisplayRole) {
    return QString::fromUtf8(columns_[static_cast<std::size_t>(section)].caption);
  }
  // A report list's header stands over its column as the column's cells do.
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(columns_[static_cast<std::size_t>(section)].alignment);
  }
  return {};
}

void SetUpReportView(QTreeView* view, ReportTableModel* model) {
  view->setModel(model);
  view->setFont(PGothic(13));
  view->setRootIsDecorated(false);
  view->setItemsExpandable(false);
  view->setUniformRowHeights(true);
  view->setAllColumnsShowFocus(true);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->header()->setSectionsClickable(false);
  view->header()->setSectionsMovable(false);
  view->header()->setStretchLastSection(false);
  const QFontMetrics metrics(view->font());
  const int margin =
      2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1) + 2;
  const auto& columns = model->Columns();
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const QString fit = QString::fromUtf8(columns[c].fit);
    int needed = fit.isEmpty() ? 0 : metrics.horizontalAdvance(fit) + margin;
    view->header()->resizeSection(static_cast<int>(c), std::max(columns[c].width, needed));
  }
  QPalette palette = view->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight,
                   palette.color(QPalette::Active, QPalette::Highlight));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   palette.color(QPalette::Active, QPalette::HighlightedText));
  view->setPalette(palette);
}

QWidget* LayOutReportWindow(QWidget* window, QSize size, QTreeView* list, QRect listGeometry) {
  // Enough of the list for its header and a few rows.
  constexpr int kMinimumListHeight = 100;
  auto* row = new QWidget(window);
  row->setFixedHeight(size.height() - listGeometry.bottom() - 1);
  row->setMinimumWidth(listGeometry.width());
  list->setMinimumHeight(kMinimumListHeight);
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(listGeometry.left(), listGeometry.top(),
                             size.width() - listGeometry.right() - 1, 0);
  layout->setSpacing(0);
  layout->addWidget(list, 1);
  layout->addWidget(row);
  window->resize(size);
  return row;
}

}  // namespace norvax
