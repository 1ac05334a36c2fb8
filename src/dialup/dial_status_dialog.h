// The dial session's two dialogs: the status dialog shown while a call is set up, and the
// error dialog that reports a failed dial.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace norvax {

// TOKRightDlg: modeless; its Cancel button (also Esc) calls onCancel.
class TOKRightDlg : public QDialog {
  Q_OBJECT

 public:
  TOKRightDlg(const std::string& caption, std::function<void()> onCancel,
              QWidget* parent = nullptr);

  void SetStatus(const std::string& text);
  void SetLabelColour(unsigned colour);

  QLabel* Label2;  // "接続状況："
  QLabel* Label1;  // the status text
  QPushButton* CancelBtn;

 public slots:
  void CancelBtnClick();

 protected:
  void reject() override;  // Esc is the Cancel button; the dialog stays until the session closes it

 private:
  std::function<void()> onCancel_;
};

// TOKRightDlg1: modal; shows the error text.
class TOKRightDlg1 : public QDialog {
  Q_OBJECT

 public:
  TOKRightDlg1(const std::string& caption, const std::string& text, QWidget* parent = nullptr);

  QLabel* Label1;  // "接続エラ－"
  QLabel* Label2;  // "内容："
  QPlainTextEdit* Memo1;
  QPushButton* OKBtn;
};

}  // namespace norvax
