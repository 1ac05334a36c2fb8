#include "windows/wait_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "platform/qt/fonts.h"
#include "platform/qt/qt_user_dialogs.h"

namespace norvax {

namespace {
const QColor kGreen(0, 128, 0);
// Title bar room for the window icon and the buttons, in title text heights.
constexpr int kTitleBarRoom = 6;
// How long the window waits at most for the window system to put it on the screen.
constexpr int kShowWaitMs = 1000;
}  // namespace

TForm5::TForm5(MainState& main, QWidget* parent) : QWidget(parent, Qt::Dialog), main_(main) {
  setWindowTitle(QStringLiteral("NORVAX ﾊﾟｽﾜ-ﾄﾞのｾｯﾄ待機"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowStaysOnTopHint);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFont(PGothic(12));
  // The design-time width (193) cuts the caption short in a window manager's title bar: the
  // window is as wide as the caption in the title font, with room for the icon and buttons.
  const QFontMetrics title(QFontDatabase::systemFont(QFontDatabase::TitleFont));
  const int width =
      std::max(193, title.horizontalAdvance(windowTitle()) + kTitleBarRoom * title.height());
  setFixedSize(width, 58);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);

  Label1 = new QLabel(QStringLiteral("ﾊﾟｽﾜ-ﾄﾞのｾｯﾄ待機"), this);
  Label1->setGeometry(8, 8, width - 8, 16);
  SetTextColour(kGreen);
  Button1 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  Button1->setGeometry((width - 65) / 2, 28, 65, 25);
  connect(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);

  move(0, 0);
  show();
  // The main timer goes on to look for the connect dialog, and the window system's calls
  // may keep events from running for a while: the window is on the screen, painted, first.
  QTimer limit;
  limit.setSingleShot(true);
  limit.start(kShowWaitMs);
  while (!windowHandle()->isExposed() && limit.isActive()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

void TForm5::SetText(const std::string& text, unsigned colour) {
  Label1->setText(ToQString(text));
  SetTextColour(QColor::fromRgb(colour));
  Label1->repaint();  // at once, for the same reason
}

void TForm5::Button1Click() { main_.waitCancelled = true; }

void TForm5::closeEvent(QCloseEvent* event) {
  Button1Click();
  QWidget::closeEvent(event);
}

void TForm5::SetTextColour(const QColor& colour) {
  QPalette pal = Label1->palette();
  pal.setColor(QPalette::WindowText, colour);
  Label1->setPalette(pal);
}

}  // namespace norvax
