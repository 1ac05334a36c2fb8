// TScrlbox: the column list box with a vertical scroll bar, reporting every scroll-bar action.
#pragma once

#include "controls/column_list.h"

namespace norvax {

class TScrlbox : public ColumnList {
  Q_OBJECT
 public:
  explicit TScrlbox(QWidget* parent = nullptr);

 signals:
  // After every action on the vertical scroll bar (arrows, page, thumb, wheel), with the
  // new top row already in effect. Keyboard scrolling and selection changes raise none.
  void OnScroll(QObject* sender);

 private:
  bool actionPending_ = false;
};

}  // namespace norvax
