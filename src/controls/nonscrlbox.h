// TNonscrlbox: a column list box without scroll bars unless ScrollBars is set; its owner
// scrolls it to stay level with the table's TScrlbox.
#pragma once

#include "controls/column_list.h"

namespace norvax {

class TNonscrlbox : public ColumnList {
  Q_OBJECT
 public:
  explicit TNonscrlbox(QWidget* parent = nullptr);

  bool ScrollBars() const { return scrollBars_; }
  // True: both a vertical and a horizontal scroll bar; false: none.
  void SetScrollBars(bool on);

 protected:
  // Without scroll bars the box never scrolls itself from the wheel; the event goes on to
  // the owner, who may scroll the whole table.
  void wheelEvent(QWheelEvent* event) override;

 private:
  void ApplyScrollBars();
  bool scrollBars_ = false;
};

}  // namespace norvax
