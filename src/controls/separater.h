// TSeparater: a thin panel the user drags to resize the control beside it.
#pragma once

#include <QFrame>
#include <QPointer>

namespace norvax {

enum class Tkind {
  Vertical,  // a horizontal bar dragged up and down; resizes heights
  Level,     // a vertical bar dragged left and right; resizes widths
};

// While the left button drags it, a guide line is drawn across the form; the resize of
// ReSizeCtrl happens when the button is released. The owner lays ReSizeCtrl out just
// before the separator (left of a Level one, above a Vertical one) in a box layout, so that
// resizing the control moves the separator.
class TSeparater : public QFrame {
  Q_OBJECT
 public:
  // A Vertical separator, 5 pixels high.
  explicit TSeparater(QWidget* parent = nullptr);

  Tkind Kind() const { return kind_; }
  // Sets the split cursor and a thickness of 5 across the drag axis.
  void SetKind(Tkind kind);

  // Smallest position of the guide line, in the parent's client coordinates.
  int TopMgn = 1;
  // Distance the guide line keeps from the far edge of the parent's client area.
  int EndMgn = 6;
  // Width of the guide line.
  int LineWidth = 3;

  QWidget* ReSizeCtrl() const { return resizeCtrl_; }
  // Cleared by itself when the control is destroyed.
  void SetReSizeCtrl(QWidget* control) { resizeCtrl_ = control; }

  bool Dragging() const { return dragging_; }
  // Position of the guide line along the drag axis, in the parent's client coordinates.
  int GuidePosition() const { return guide_; }
  // The area across which the guide line is drawn, in the form's client coordinates.
  QRect DragRect() const { return dragRect_; }
  // The guide line as it is drawn on the form (nullptr while idle).
  QWidget* GuideLine() const { return line_; }

 signals:
  void OnStartDrag(QObject* sender);
  // Once when a drag ends: Pos the separator's new leading edge, Cg its change.
  void OnEndDrag(QObject* sender, int Pos, int Cg);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int Position() const;
  int Thickness() const;
  int Axis(const QPointF& p) const;
  void PlaceLine();

  Tkind kind_ = Tkind::Vertical;
  QPointer<QWidget> resizeCtrl_;
  QPointer<QWidget> form_;
  QPointer<QWidget> line_;
  QRect dragRect_;
  bool dragging_ = false;
  int guide_ = 0;
  int grab_ = 0;
  int half_ = 0;
};

}  // namespace norvax
