#include "platform/qt/qt_user_dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include "platform/cp932.h"
#include "platform/qt/modal_owner.h"

namespace norvax {

QString ToQString(const std::string& cp932) { return QString::fromStdString(Cp932ToUtf8(cp932)); }

void QtUserDialogs::ShowError(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("ｴﾗｰ"), ToQString(text), QMessageBox::Ok,
                  ModalOwner(parent_));
  box.exec();
}

void QtUserDialogs::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), ToQString(text),
                  QMessageBox::Ok, ModalOwner(parent_));
  box.exec();
}

bool QtUserDialogs::ConfirmOkCancel(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), ToQString(text),
                  QMessageBox::Ok | QMessageBox::Cancel, ModalOwner(parent_));
  return box.exec() == QMessageBox::Ok;
}

}  // namespace norvax
