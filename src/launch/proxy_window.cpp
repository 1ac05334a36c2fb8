#include "launch/proxy_window.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "launch/proxy.h"
#include "platform/cp932.h"
#include "platform/help.h"
#include "platform/qt/qt_user_dialogs.h"
#include "platform/user_dialogs.h"

namespace norvax {
namespace {

// The rows of the server group, top to bottom.
constexpr const auto& kRows = kProxyServerRows;

}  // namespace

TForm6::TForm6(std::string& flags, std::string& servers, std::string& exceptions,
               UserDialogs& dialogs, Help& help, QWidget* parent)
    : QDialog(parent),
      flags_(flags),
      servers_(servers),
      exceptions_(exceptions),
      dialogs_(dialogs),
      help_(help) {
  setObjectName(QStringLiteral("TForm6"));
  setWindowTitle(QStringLiteral("ﾌﾟﾛｷｼの設定"));
  auto* layout = new QVBoxLayout(this);

  CheckBox1 = new QCheckBox(QStringLiteral("ﾌﾟﾛｷｼを使用する"), this);
  layout->addWidget(CheckBox1);

  GroupBox1 = new QGroupBox(QStringLiteral("使用するﾌﾟﾗｳｻﾞ"), this);
  auto* browsers = new QHBoxLayout(GroupBox1);
  RadioButton1 = new QRadioButton(QStringLiteral("INTERNET EXPLORE"), GroupBox1);
  RadioButton2 = new QRadioButton(QStringLiteral("NETSCAPE"), GroupBox1);
  browsers->addWidget(RadioButton1);
  browsers->addWidget(RadioButton2);
  layout->addWidget(GroupBox1);

  GroupBox2 = new QGroupBox(QStringLiteral("ｻｰﾊﾞｰ"), this);
  auto* grid = new QGridLayout(GroupBox2);
  grid->addWidget(new QLabel(QStringLiteral("種類"), GroupBox2), 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("使用するﾌﾟﾛｷｼのｱﾄﾞﾚｽ"), GroupBox2), 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("ﾎﾟｰﾄ"), GroupBox2), 0, 2);
  for (std::size_t row = 0; row < std::size(kRows); ++row) {
    int r = static_cast<int>(row) + 1;
    grid->addWidget(new QLabel(QString::fromUtf8(kRows[row].caption), GroupBox2), r, 0);
    Edits[2 * row] = new QLineEdit(GroupBox2);
    Edits[2 * row + 1] = new QLineEdit(GroupBox2);
    Edits[2 * row]->setObjectName(QStringLiteral("Edit%1").arg(2 * row + 1));
    Edits[2 * row + 1]->setObjectName(QStringLiteral("Edit%1").arg(2 * row + 2));
    Edits[2 * row]->setMinimumWidth(200);
    Edits[2 * row + 1]->setMaximumWidth(60);
    grid->addWidget(Edits[2 * row], r, 1);
    grid->addWidget(Edits[2 * row + 1], r, 2);
  }
  layout->addWidget(GroupBox2);

  GroupBox3 = new QGroupBox(QStringLiteral("例外"), this);
  auto* exceptionsBox = new QVBoxLayout(GroupBox3);
  exceptionsBox->addWidget(new QLabel(QStringLiteral("次のｱﾄﾞﾚｽにはﾌﾟﾛｷｼを使用しない"), GroupBox3));
  Memo1 = new QPlainTextEdit(GroupBox3);
  Memo1->setFixedHeight(60);
  exceptionsBox->addWidget(Memo1);
  exceptionsBox->addWidget(new QLabel(QStringLiteral("ｾﾐｺﾛﾝ( ; )を使用して"), GroupBox3));
  exceptionsBox->addWidget(new QLabel(QStringLiteral("ｴﾝﾄﾘを分けて下さい"), GroupBox3));
  layout->addWidget(GroupBox3);

  auto* buttons = new QHBoxLayout;
  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button2 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  Button3 = new QPushButton(QStringLiteral("ﾍﾙﾌﾟ"), this);
  Button1->setDefault(true);
  buttons->addStretch();
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  buttons->addWidget(Button3);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(Button1, &QPushButton::clicked, this, &TForm6::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button3, &QPushButton::clicked, this, &TForm6::Button3Click);

  ProxyForm form = LoadProxyForm(flags_, servers_, exceptions_);
  CheckBox1->setChecked(form.useProxy);
  RadioButton1->setChecked(form.browser == ProxyForm::Browser::InternetExplorer);
  RadioButton2->setChecked(form.browser == ProxyForm::Browser::Netscape);
  for (std::size_t row = 0; row < std::size(kRows); ++row) {
    Edits[2 * row]->setText(ToQString(form.serverSlots[kRows[row].hostSlot]));
    Edits[2 * row + 1]->setText(ToQString(form.serverSlots[kRows[row].hostSlot + 1]));
  }
  Memo1->setPlainText(ToQString(form.exceptions));
}

void TForm6::Button1Click() {
  ProxyForm form;
  form.useProxy = CheckBox1->isChecked();
  form.browser = RadioButton1->isChecked()   ? ProxyForm::Browser::InternetExplorer
                 : RadioButton2->isChecked() ? ProxyForm::Browser::Netscape
                                             : ProxyForm::Browser::Neither;
  try {
    for (std::size_t row = 0; row < std::size(kRows); ++row) {
      const QString field = QString::fromUtf8(kRows[row].caption);
      form.serverSlots[kRows[row].hostSlot] =
          RequireCp932(Edits[2 * row]->text().toStdString(), field.toStdString());
      form.serverSlots[kRows[row].hostSlot + 1] =
          RequireCp932(Edits[2 * row + 1]->text().toStdString(), field.toStdString());
    }
    form.exceptions = RequireCp932(Memo1->toPlainText().toStdString(), "例外");
  } catch (const EncodingError& e) {
    dialogs_.ShowError(Cp932ForDisplay(e.what()));
    return;
  }
  if (auto message = StoreProxyForm(form, flags_, servers_, exceptions_)) {
    dialogs_.ShowError(*message);
    return;
  }
  accept();
}

void TForm6::Button3Click() { help_.ShowTopic(help_topic::kProxy); }

}  // namespace norvax
