#include "windows/version_window.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "platform/qt/fonts.h"
#include "platform/qt/program_icon.h"

namespace norvax {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFont(PGothic(12));
  setFixedSize(294, 126);
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, Qt::black);
  setPalette(pal);

  Panel1 = new QFrame(this);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setGeometry(8, 8, 277, 73);
  ProgramIcon = new QLabel(Panel1);
  ProgramIcon->setGeometry(8, 8, 64, 56);
  ProgramIcon->setScaledContents(true);
  ProgramIcon->setPixmap(ProgramPixmap(64));
  ProductName = new QLabel(QStringLiteral("ﾌﾟﾛｸﾞﾗﾑ名       NORVAX"), Panel1);
  ProductName->move(86, 16);
  ProductName->adjustSize();
  Version = new QLabel(QStringLiteral("ﾊﾞｰｼﾞｮﾝ          ２．３１"), Panel1);
  Version->move(86, 39);
  Version->adjustSize();

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setGeometry(118, 87, 64, 33);
  OKButton->setDefault(true);
  OKButton->setFocus();
  connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);
}

void TAboutBox::OKButtonClick() { accept(); }

void TAboutBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect r = frameGeometry();
    r.moveCenter(screen->availableGeometry().center());
    move(r.topLeft());
  }
  OKButton->setFocus();
}

}  // namespace norvax
