#include "platform/qt/qt_user_dialogs.h"

#include <QMessageBox>
#include <QString>

#include "platform/cp932.h"

namespace norvax {

QString ToQString(const std::string& cp932) {
  return QString::fromStdString(Cp932ToUtf8(cp932));
}

void QtUserDialogs::ShowError(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("ｴﾗｰ"), ToQString(text),
                  QMessageBox::Ok, parent_);
  box.exec();
}

}  // namespace norvax
