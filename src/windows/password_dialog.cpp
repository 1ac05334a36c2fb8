#include "windows/password_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include "platform/cp932.h"
#include "platform/qt/modal_owner.h"
#include "platform/qt/qt_user_dialogs.h"

namespace norvax {

namespace {

// The typed text as CP932; nothing (after telling the user) when it has no CP932 form.
std::optional<std::string> TypedText(QWidget* parent, const QLineEdit* edit, const char* field) {
  try {
    return RequireCp932(edit->text().toStdString(), field);
  } catch (const EncodingError& e) {
    QtUserDialogs(parent).ShowError(Cp932ForDisplay(e.what()));
    return std::nullopt;
  }
}

}  // namespace

PasswordDialog::PasswordDialog(QWidget* parent) : QDialog(parent) {
  setFixedSize(230, 136);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, Qt::black);
  setPalette(pal);

  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  Label1->move(8, 9);
  Password = new QLineEdit(this);
  Password->setObjectName("Password");
  Password->setEchoMode(QLineEdit::Password);
  Password->setGeometry(8, 26, 214, 21);
  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setGeometry(69, 106, 73, 24);
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setGeometry(148, 106, 74, 24);
  Password2 = new QLineEdit(this);
  Password2->setObjectName("Password2");
  Password2->setEchoMode(QLineEdit::Password);
  Password2->setGeometry(8, 74, 214, 21);
  Label2 = new QLabel(this);
  Label2->setObjectName("Label2");
  Label2->move(8, 56);
  setTabOrder(Password, OKBtn);
  setTabOrder(OKBtn, CancelBtn);
  setTabOrder(CancelBtn, Password2);

  connect(OKBtn, &QPushButton::clicked, this, &PasswordDialog::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &PasswordDialog::CancelBtnClick);
  Apply(PasswordPromptSetup{DefaultPasswordCaption(), DefaultPasswordLabel(),
                            DefaultPasswordLabel(), true});
}

void PasswordDialog::Apply(const PasswordPromptSetup& setup) {
  setWindowTitle(ToQString(setup.caption));
  Label1->setText(ToQString(setup.label1));
  Label1->adjustSize();
  Label2->setText(ToQString(setup.label2));
  Label2->adjustSize();
  Password2->setEnabled(setup.secondField);
  // The unused field is painted like a button face, the used one like a window.
  QPalette pal = Password2->palette();
  pal.setColor(QPalette::Base,
               palette().color(setup.secondField ? QPalette::Base : QPalette::Button));
  Password2->setPalette(pal);
}

std::string PasswordDialog::FirstText() const {
  return Utf8ToCp932(Password->text().toStdString()).value_or("");
}

std::string PasswordDialog::SecondText() const {
  return Utf8ToCp932(Password2->text().toStdString()).value_or("");
}

void PasswordDialog::OKBtnClick() {
  if (!TypedText(this, Password, "パスワード")) return;
  if (Password2->isEnabled() && !TypedText(this, Password2, "新パスワード")) return;
  accept();
}

void PasswordDialog::CancelBtnClick() { reject(); }

QtPasswordPrompt::QtPasswordPrompt(QWidget* parent) : dialog_(new PasswordDialog(parent)) {}

QtPasswordPrompt::~QtPasswordPrompt() { delete dialog_; }

void QtPasswordPrompt::Setup(const PasswordPromptSetup& setup) { dialog_->Apply(setup); }

bool QtPasswordPrompt::Show() { return ExecModal(*dialog_) == QDialog::Accepted; }

std::string QtPasswordPrompt::First() const { return dialog_->FirstText(); }

std::string QtPasswordPrompt::Second() const { return dialog_->SecondText(); }

VerifyOutcome VerifyPassword(QWidget* parent, const std::string& captionCp932,
                             const std::string& passwordCp932) {
  QtPasswordPrompt prompt(parent);
  return Verify(prompt, captionCp932, passwordCp932);
}

}  // namespace norvax
