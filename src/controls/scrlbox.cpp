#include "controls/scrlbox.h"

#include <QScrollBar>
#include <QTimer>

namespace norvax {

TScrlbox::TScrlbox(QWidget* parent) : ColumnList(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  QScrollBar* bar = verticalScrollBar();
  // A scroll-bar action is announced before the bar takes its new value; report once the
  // value is in place, or right after the action when it did not move the bar.
  connect(bar, &QScrollBar::actionTriggered, this, [this](int) {
    actionPending_ = true;
    QTimer::singleShot(0, this, [this] {
      if (actionPending_) {
        actionPending_ = false;
        emit OnScroll(this);
      }
    });
  });
  connect(bar, &QScrollBar::valueChanged, this, [this](int) {
    if (!actionPending_) return;
    actionPending_ = false;
    emit OnScroll(this);
  });
}

}  // namespace norvax
