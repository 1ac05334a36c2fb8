#include "controls/separater.h"

#include <QLayout>
#include <QMouseEvent>

namespace norvax {

TSeparater::TSeparater(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  SetKind(Tkind::Vertical);
}

void TSeparater::SetKind(Tkind kind) {
  kind_ = kind;
  setMinimumSize(0, 0);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  if (kind == Tkind::Level) {
    setCursor(Qt::SplitHCursor);
    setFixedWidth(5);
  } else {
    setCursor(Qt::SplitVCursor);
    setFixedHeight(5);
  }
}

int TSeparater::Position() const { return kind_ == Tkind::Level ? x() : y(); }
int TSeparater::Thickness() const { return kind_ == Tkind::Level ? width() : height(); }
int TSeparater::Axis(const QPointF& p) const {
  return kind_ == Tkind::Level ? static_cast<int>(p.x()) : static_cast<int>(p.y());
}

void TSeparater::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  form_ = window();
  QWidget* owner = parentWidget();
  if (owner == nullptr || owner == form_) {
    dragRect_ = form_->rect();
  } else {
    QPoint topLeft = owner->mapTo(form_, QPoint(0, 0));
    dragRect_ = QRect(topLeft, owner->size());
  }
  emit OnStartDrag(this);
  dragging_ = true;
  line_ = new QWidget(form_);
  line_->setObjectName(QStringLiteral("GuideLine"));
  line_->setAttribute(Qt::WA_TransparentForMouseEvents);
  line_->setAutoFillBackground(true);
  QPalette pal = line_->palette();
  pal.setColor(QPalette::Window, QColor(128, 128, 128));
  line_->setPalette(pal);
  half_ = Thickness() / 2;
  grab_ = Axis(event->position()) - half_;
  guide_ = Position() + half_;
  PlaceLine();
  line_->show();
  line_->raise();
}

void TSeparater::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  int extent = 0;
  if (QWidget* owner = parentWidget()) {
    extent = kind_ == Tkind::Level ? owner->width() : owner->height();
  }
  int pos = Axis(event->position()) + Position() - grab_;
  if (pos < TopMgn) {
    pos = TopMgn;
  } else if (pos > extent - EndMgn) {
    pos = extent - EndMgn;
  }
  guide_ = pos;
  PlaceLine();
}

void TSeparater::mouseReleaseEvent(QMouseEvent*) {
  if (!dragging_) return;
  dragging_ = false;
  delete line_;
  if (resizeCtrl_) {
    if (kind_ == Tkind::Level) {
      resizeCtrl_->setFixedWidth(std::max(0, guide_ - half_ - resizeCtrl_->x()));
    } else {
      resizeCtrl_->setFixedHeight(std::max(0, guide_ - half_ - resizeCtrl_->y()));
    }
    // Lay out at once, so the separator already stands at its new place.
    if (QWidget* owner = parentWidget(); owner && owner->layout()) owner->layout()->activate();
  }
  int pos = guide_ - half_;
  emit OnEndDrag(this, pos, pos - Position());
}

void TSeparater::PlaceLine() {
  if (!line_) return;
  int w = std::max(1, LineWidth);
  if (kind_ == Tkind::Level) {
    line_->setGeometry(dragRect_.left() + guide_ - w / 2, dragRect_.top(), w, dragRect_.height());
  } else {
    line_->setGeometry(dragRect_.left(), dragRect_.top() + guide_ - w / 2, dragRect_.width(), w);
  }
}

}  // namespace norvax
