#include "controls/nonscrlbox.h"

#include <QWheelEvent>

namespace norvax {

TNonscrlbox::TNonscrlbox(QWidget* parent) : ColumnList(parent) { ApplyScrollBars(); }

void TNonscrlbox::SetScrollBars(bool on) {
  if (on == scrollBars_) return;
  scrollBars_ = on;
  ApplyScrollBars();
}

void TNonscrlbox::ApplyScrollBars() {
  auto policy = scrollBars_ ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
  setVerticalScrollBarPolicy(policy);
  setHorizontalScrollBarPolicy(policy);
}

void TNonscrlbox::wheelEvent(QWheelEvent* event) {
  if (scrollBars_) {
    ColumnList::wheelEvent(event);
    return;
  }
  event->ignore();
}

}  // namespace norvax
