// Password dialog and the verification prompt of the guarded places.
#pragma once

#include <QDialog>
#include <string>

#include "core/password_lock.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace norvax {

// The dialog: one or two password fields with OK and Cancel.
class PasswordDialog : public QDialog {
  Q_OBJECT

 public:
  explicit PasswordDialog(QWidget* parent = nullptr);

  // Lays the dialog out for one use; the fields keep what was typed.
  void Apply(const PasswordPromptSetup& setup);

  // The typed texts as CP932; valid after OK (OK refuses text without a CP932 form).
  std::string FirstText() const;
  std::string SecondText() const;

  QLabel* Label1;
  QLineEdit* Password;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QLineEdit* Password2;
  QLabel* Label2;

 private slots:
  void OKBtnClick();
  void CancelBtnClick();
};

// The prompt of the lock flows shown as the dialog above; one dialog per prompt, so a
// loop shows the same dialog again with the texts still in place.
class QtPasswordPrompt : public PasswordPrompt {
 public:
  explicit QtPasswordPrompt(QWidget* parent);
  ~QtPasswordPrompt() override;

  void Setup(const PasswordPromptSetup& setup) override;
  bool Show() override;
  std::string First() const override;
  std::string Second() const override;

  PasswordDialog& Dialog() { return *dialog_; }

 private:
  PasswordDialog* dialog_;
};

// Shows the password dialog in single-field form with the given caption and
// compares the typed text with the password (exact byte equality).
VerifyOutcome VerifyPassword(QWidget* parent, const std::string& captionCp932,
                             const std::string& passwordCp932);

}  // namespace norvax
