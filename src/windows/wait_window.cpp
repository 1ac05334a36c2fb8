#include "windows/wait_window.h"

#include <QLabel>
#include <QPushButton>

#include "platform/qt/fonts.h"
#include "platform/qt/qt_user_dialogs.h"

namespace norvax {

namespace {
const QColor kGreen(0, 128, 0);
}

TForm5::TForm5(MainState& main, QWidget* parent) : QWidget(parent, Qt::Dialog), main_(main) {
  setWindowTitle(QStringLiteral("NORVAX ﾊﾟｽﾜ-ﾄﾞのｾｯﾄ待機"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowStaysOnTopHint);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFont(PGothic(12));
  setFixedSize(193, 58);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);

  Label1 = new QLabel(QStringLiteral("ﾊﾟｽﾜ-ﾄﾞのｾｯﾄ待機"), this);
  Label1->setGeometry(8, 8, 185, 16);
  SetTextColour(kGreen);
  Button1 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  Button1->setGeometry(64, 28, 65, 25);
  connect(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);

  move(0, 0);
  show();
}

void TForm5::SetText(const std::string& text, unsigned colour) {
  Label1->setText(ToQString(text));
  SetTextColour(QColor::fromRgb(colour));
}

void TForm5::Button1Click() { main_.waitCancelled = true; }

void TForm5::SetTextColour(const QColor& colour) {
  QPalette pal = Label1->palette();
  pal.setColor(QPalette::WindowText, colour);
  Label1->setPalette(pal);
}

}  // namespace norvax
