// The connection settings window: edits the entry editor's working copy of the dial
// profile.
#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "dialup/dial_profile.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace norvax {

class Help;
class RemoteAccess;
class UserDialogs;

class TForm7 : public QDialog {
  Q_OBJECT

 public:
  // profileText is the working copy (OK writes it back); connection is the editor's
  // connection box, for the phonebook's number.
  TForm7(std::string& profileText, const std::string& connection, RemoteAccess& remote,
         UserDialogs& dialogs, Help& help, QWidget* parent = nullptr);

  QGroupBox* GroupBox1;  // redial settings
  QCheckBox* CheckBox1;
  QRadioButton* RadioButton1;
  QRadioButton* RadioButton2;
  QCheckBox* CheckBox2;
  QGroupBox* GroupBox2;  // provider charges
  QGroupBox* GroupBox3;  // telephone charges
  QCheckBox* CheckBox3;
  // Edit1 … Edit15 at indexes 1 … 15 (index 0 unused).
  std::array<QLineEdit*, 16> Edits{};
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;

 public slots:
  void Button1Click();
  void Button3Click();
  void CheckBox1Click();
  void CheckBox2Click();

 private:
  // The controls' values; false (message shown) when a text has no CP932 form.
  bool ReadControls(ConnectionSettings& settings);
  bool ReadEdits(ConnectionSettings& settings, int first, int last);
  void ShowControls(const ConnectionSettings& settings);
  void ApplyEnabling();
  void Report(const SettingsFailure& failure);
  // A check box of a group was clicked: unchecking runs its group's check on the group's
  // edits (firstEdit..lastEdit), which may check it again; the enabling follows the box.
  void CheckBoxChanged(QCheckBox* box, bool ConnectionSettings::*state,
                       std::optional<SettingsFailure> (*rule)(ConnectionSettings&), int firstEdit,
                       int lastEdit);

  std::string& profileText_;
  UserDialogs& dialogs_;
  Help& help_;
  std::vector<QWidget*> redialControls_;
  std::vector<QWidget*> chargeControls_;
};

}  // namespace norvax
