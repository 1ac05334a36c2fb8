// What the column list boxes share: owner-drawn fixed rows and the top-row index.
#pragma once

#include <QListWidget>
#include <QStyledItemDelegate>
#include <vector>

namespace norvax {

inline constexpr int kColumnRowHeight = 14;

// Paints a row: background or selection colours, the text 2 pixels from the left edge at
// the top, a focus rectangle on the focused row; every row 14 pixels high.
class ColumnRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// A list box of one table column: no border, one row per step of the scroll bar.
class ColumnList : public QListWidget {
  Q_OBJECT
 public:
  explicit ColumnList(QWidget* parent = nullptr);

  // Index of the first visible row.
  int TopIndex() const;
  void SetTopIndex(int row);

  // Replaces the rows with texts (UTF-16).
  void SetRows(const QStringList& texts);

  // The selected row, or -1.
  int SelectedRow() const;
  // Selects row (-1 clears the selection).
  void SetSelectedRow(int row);

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// Keeps the columns of one table level: whatever scrolls one of them (its scroll bar, the
// wheel, the keyboard, a click on a row only partly in view), the others take the same top
// row at once.
class ColumnGroup : public QObject {
  Q_OBJECT
 public:
  explicit ColumnGroup(std::vector<ColumnList*> columns, QObject* parent = nullptr);

 private:
  std::vector<ColumnList*> columns_;
  bool levelling_ = false;
};

}  // namespace norvax
