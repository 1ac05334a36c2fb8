#include "platform/qt/program_icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace norvax {

QPixmap ProgramPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  // A telephone handset over a blue disc: dialling in.
  QLinearGradient sky(0, 0, 0, s);
  sky.setColorAt(0, QColor(70, 130, 220));
  sky.setColorAt(1, QColor(20, 60, 140));
  p.setBrush(sky);
  p.setPen(QPen(QColor(10, 30, 80), s / 32));
  p.drawEllipse(QRectF(s * 0.06, s * 0.06, s * 0.88, s * 0.88));
  QPainterPath handset;
  handset.moveTo(s * 0.22, s * 0.40);
  handset.cubicTo(s * 0.30, s * 0.22, s * 0.70, s * 0.22, s * 0.78, s * 0.40);
  handset.lineTo(s * 0.68, s * 0.48);
  handset.lineTo(s * 0.62, s * 0.40);
  handset.cubicTo(s * 0.56, s * 0.36, s * 0.44, s * 0.36, s * 0.38, s * 0.40);
  handset.lineTo(s * 0.32, s * 0.48);
  handset.closeSubpath();
  p.setBrush(Qt::white);
  p.setPen(Qt::NoPen);
  p.drawPath(handset);
  QFont font;
  font.setBold(true);
  font.setPixelSize(static_cast<int>(s * 0.26));
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRectF(0, s * 0.48, s, s * 0.34), Qt::AlignCenter, QStringLiteral("NV"));
  return pixmap;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64}) icon.addPixmap(ProgramPixmap(size));
  return icon;
}

}  // namespace norvax
