// The proxy settings window: edits the entry editor's working copy of the proxy record.
#pragma once

#include <QDialog>
#include <array>
#include <string>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace norvax {

class Help;
class UserDialogs;

class TForm6 : public QDialog {
  Q_OBJECT

 public:
  // flags, servers and exceptions are the working copy (CP932); OK writes them back.
  TForm6(std::string& flags, std::string& servers, std::string& exceptions, UserDialogs& dialogs,
         Help& help, QWidget* parent = nullptr);

  QCheckBox* CheckBox1;
  QGroupBox* GroupBox1;
  QRadioButton* RadioButton1;
  QRadioButton* RadioButton2;
  QGroupBox* GroupBox2;
  // Edit1 … Edit10: host and port of HTTP, Secure, FTP, Gopher and Socks.
  std::array<QLineEdit*, 10> Edits;
  QGroupBox* GroupBox3;
  QPlainTextEdit* Memo1;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;

 public slots:
  void Button1Click();
  void Button3Click();

 private:
  std::string& flags_;
  std::string& servers_;
  std::string& exceptions_;
  UserDialogs& dialogs_;
  Help& help_;
};

}  // namespace norvax
