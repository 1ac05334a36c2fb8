// The entry editor: one entry of the register window's working table, added or changed.
#pragma once

#include <QDialog>

#include "core/entry_table.h"
#include "core/preferences.h"
#include "launch/entry_editor_rules.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace norvax {

class Help;
class RemoteAccess;
class UserDialogs;

class TForm3 : public QDialog {
  Q_OBJECT

 public:
  // Edits context's row of table (Edit) or appends to it (Add) on OK.
  TForm3(EditorContext& context, EntryTable& table, const PreferenceList& prefs,
         RemoteAccess& remote, UserDialogs& dialogs, Help& help, QWidget* parent = nullptr);

  // The working proxy and dial values, as the proxy and connection windows edit them.
  EditorForm& Working() { return working_; }

  QLabel* Label1;
  QLabel* Label6;
  QLabel* Label2;
  QLineEdit* Edit1;
  QLabel* Label3;
  QLineEdit* Password2;
  QLabel* Label5;
  QLineEdit* Password3;
  QLabel* Label4;
  QLineEdit* Edit4;
  QPushButton* Button3;
  QLabel* Label13;
  QLabel* Label14;
  QLineEdit* Edit6;
  QPushButton* Button6;
  QLabel* Label7;
  QComboBox* ComboBox1;
  QLabel* Label8;
  QComboBox* ComboBox2;
  QLabel* Label9;
  QLineEdit* Edit5;
  QGroupBox* GroupBox1;
  QCheckBox* CheckBox1;
  QCheckBox* CheckBox3;
  QPushButton* Button7;
  QCheckBox* CheckBox4;
  QCheckBox* CheckBox2;
  QPushButton* Button5;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button4;

 public slots:
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();
  void Button6Click();
  void Button7Click();
  void CheckBox2Click();
  void CheckBox3Click();

 private:
  void FormCreate();
  // The controls' texts as CP932; throws EncodingError naming the field.
  EditorForm ReadForm() const;

  EditorContext& context_;
  EntryTable& table_;
  const PreferenceList& prefs_;
  RemoteAccess& remote_;
  UserDialogs& dialogs_;
  Help& help_;
  EditorForm working_;
};

}  // namespace norvax
