#include "controls/column_list.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace norvax {

void ColumnRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  painter->save();
  const bool selected = option.state & QStyle::State_Selected;
  painter->fillRect(option.rect, selected ? option.palette.highlight() : option.palette.base());
  painter->setPen(selected ? option.palette.color(QPalette::HighlightedText)
                           : option.palette.color(QPalette::Text));
  painter->setFont(option.font);
  painter->drawText(option.rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                    index.data(Qt::DisplayRole).toString());
  if (option.state & QStyle::State_HasFocus) {
    QStyleOptionFocusRect focus;
    focus.QStyleOption::operator=(option);
    focus.backgroundColor = option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
  }
  painter->restore();
}

QSize ColumnRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
  return {QStyledItemDelegate::sizeHint(option, index).width(), kColumnRowHeight};
}

ColumnList::ColumnList(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new ColumnRowDelegate(this));
  setUniformItemSizes(true);
  setFrameShape(QFrame::NoFrame);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setTextElideMode(Qt::ElideNone);
}

int ColumnList::TopIndex() const {
  if (count() == 0) return 0;
  return verticalScrollBar()->value();
}

void ColumnList::SetTopIndex(int row) {
  // The range follows the rows only after a layout pass.
  executeDelayedItemsLayout();
  verticalScrollBar()->setValue(row);
}

void ColumnList::SetRows(const QStringList& texts) {
  clear();
  addItems(texts);
  executeDelayedItemsLayout();
}

int ColumnList::SelectedRow() const {
  const auto rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.front().row();
}

void ColumnList::SetSelectedRow(int row) {
  if (row < 0 || row >= count()) {
    clearSelection();
    setCurrentRow(-1);
    return;
  }
  // Selecting must not scroll: the owner keeps the columns level itself.
  int top = TopIndex();
  setCurrentRow(row);
  SetTopIndex(top);
}

void ColumnList::mouseDoubleClickEvent(QMouseEvent* event) {
  // Only the left button's double click acts on a row; another button's second press is
  // only a press.
  if (event->button() != Qt::LeftButton) {
    mousePressEvent(event);
    return;
  }
  QListWidget::mouseDoubleClickEvent(event);
}

ColumnGroup::ColumnGroup(std::vector<ColumnList*> columns, QObject* parent)
    : QObject(parent), columns_(std::move(columns)) {
  for (ColumnList* column : columns_) {
    connect(column->verticalScrollBar(), &QScrollBar::valueChanged, this, [this, column](int top) {
      if (levelling_) return;
      levelling_ = true;
      for (ColumnList* other : columns_) {
        if (other != column && other->TopIndex() != top) other->SetTopIndex(top);
      }
      levelling_ = false;
    });
  }
}

}  // namespace norvax
