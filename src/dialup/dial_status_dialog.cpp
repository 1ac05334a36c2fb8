#include "dialup/dial_status_dialog.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include "platform/qt/fonts.h"
#include "platform/qt/qt_user_dialogs.h"

namespace norvax {
namespace {

void Centre(QWidget* w) {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    w->move(screen->geometry().center() - w->rect().center());
  }
}

constexpr Qt::WindowFlags kNoTitleButtons =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

}  // namespace

TOKRightDlg::TOKRightDlg(const std::string& caption, std::function<void()> onCancel,
                         QWidget* parent)
    : QDialog(parent, kNoTitleButtons), onCancel_(std::move(onCancel)) {
  setObjectName(QStringLiteral("TOKRightDlg"));
  setWindowTitle(caption.empty() ? QStringLiteral("ﾀﾞｲｱﾛｸﾞ") : ToQString(caption));
  setFont(PGothic(12));
  setFixedSize(389, 74);
  Label2 = new QLabel(QStringLiteral("接続状況："), this);
  Label2->setGeometry(12, 28, 60, 16);
  Label1 = new QLabel(this);
  Label1->setGeometry(76, 28, 241, 16);
  CancelBtn = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  CancelBtn->setGeometry(322, 22, 57, 27);
  connect(CancelBtn, &QPushButton::clicked, this, &TOKRightDlg::CancelBtnClick);
  Centre(this);
}

void TOKRightDlg::SetStatus(const std::string& text) { Label1->setText(ToQString(text)); }

void TOKRightDlg::SetLabelColour(unsigned colour) {
  QPalette pal = Label2->palette();
  pal.setColor(QPalette::WindowText, QColor::fromRgb(colour));
  Label2->setPalette(pal);
}

void TOKRightDlg::CancelBtnClick() {
  if (onCancel_) onCancel_();
}

void TOKRightDlg::reject() { CancelBtnClick(); }

TOKRightDlg1::TOKRightDlg1(const std::string& caption, const std::string& text, QWidget* parent)
    : QDialog(parent, kNoTitleButtons) {
  setObjectName(QStringLiteral("TOKRightDlg1"));
  setWindowTitle(caption.empty() ? QStringLiteral("ﾀﾞｲｱﾛｸﾞ") : ToQString(caption));
  setFont(PGothic(12));
  setFixedSize(351, 127);
  Label1 = new QLabel(QStringLiteral("接続エラ－"), this);
  Label1->setGeometry(12, 10, 120, 16);
  Label2 = new QLabel(QStringLiteral("内容："), this);
  Label2->setGeometry(12, 34, 40, 16);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setGeometry(56, 34, 209, 81);
  Memo1->setReadOnly(true);
  Memo1->setFrameStyle(QFrame::NoFrame);
  QPalette pal = Memo1->palette();
  pal.setColor(QPalette::Base, palette().color(QPalette::Window));
  Memo1->setPalette(pal);
  Memo1->clear();
  Memo1->setPlainText(ToQString(text));
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setGeometry(276, 88, 65, 27);
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  Centre(this);
}

}  // namespace norvax
