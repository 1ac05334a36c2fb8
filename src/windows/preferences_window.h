// Preferences window with its five pages.
#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <memory>

#include "core/password_lock.h"
#include "core/preferences_rules.h"
#include "core/program_state.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

namespace norvax {

// Shows the preferences window; on OK stores the preferences into the state and
// saves them. True when the preferences were stored.
bool PreferencesCommand(ProgramState& state, Ports& ports, QWidget* parent);

class TForm4 : public QDialog {
  Q_OBJECT

 public:
  // A fresh password dialog for each use (lock buttons and OK).
  using PromptFactory = std::function<std::unique_ptr<PasswordPrompt>()>;

  TForm4(PreferenceList& prefs, PromptFactory prompts, UserDialogs& dialogs, Help& help,
         QWidget* parent = nullptr);

  void SetPromptFactory(PromptFactory prompts) { prompts_ = std::move(prompts); }

  // PreferencesSaved: set by OK once the list holds the window's values.
  bool PreferencesSaved() const { return preferencesSaved_; }
  const std::string& LockPasswordWorking() const { return lockPassword_; }

  QTabWidget* PageControl1;
  QWidget *TabSheet1, *TabSheet2, *TabSheet3, *TabSheet4, *TabSheet5;
  QPushButton *Button1, *Button2, *Button3, *Button4, *Button5, *Button6;
  QGroupBox *GroupBox1, *GroupBox2, *GroupBox3, *GroupBox4, *GroupBox5, *GroupBox6, *GroupBox7,
      *GroupBox8;
  // Check boxes and radio buttons by number (CheckBox1 … CheckBox19, RadioButton1 … 8).
  std::map<int, QCheckBox*> CheckBox;
  std::map<int, QRadioButton*> RadioButton;

 public slots:
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();
  void Button6Click();

 private:
  void FormCreate();
  PreferencesForm ReadForm() const;

  PreferenceList& prefs_;
  PromptFactory prompts_;
  UserDialogs& dialogs_;
  Help& help_;
  std::string lockPassword_;
  bool preferencesSaved_ = false;
};

}  // namespace norvax
