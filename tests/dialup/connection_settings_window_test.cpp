#include "dialup/connection_settings_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "core/entry_table.h"
#include "fakes/fake_help.h"
#include "fakes/fake_remote_access.h"
#include "fakes/fake_user_dialogs.h"
#include "test_files.h"

namespace norvax {
namespace {

struct ConnectionWindow : ::testing::Test {
  std::string profile{kDefaultDialProfile};
  fakes::FakeRemoteAccess remote;
  fakes::FakeUserDialogs dialogs;
  fakes::FakeHelp help;

  ConnectionWindow() { remote.phonebook = {{"Provider", "0311112222"}}; }
};

TEST_F(ConnectionWindow, UnchangedDefaultTakesThePhonebookNumber) {
  TForm7 form(profile, "Provider", remote, dialogs, help);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("接続先設定"));
  EXPECT_EQ(form.size(), QSize(357, 452));
  EXPECT_EQ(form.Edits[3]->text(), QStringLiteral("0311112222"));
  EXPECT_FALSE(form.Edits[1]->isEnabled()) << "redial controls follow CheckBox1";
  EXPECT_FALSE(form.Edits[10]->isEnabled()) << "charge controls follow CheckBox2";
  form.Button1->click();
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(profile, "0;20;1;0311112222;1;0;0;0;0;0;0;1;10;180;10;180;10;240;0;");
  form.Button3->click();
  EXPECT_EQ(help.topics, std::vector<std::string>{"NV0151"});
}

TEST_F(ConnectionWindow, FailedCheckReChecksTheBoxAndKeepsTheProfile) {
  profile = "1;20;1; ;1;1;0;0;0;0;0;1;10;0;10;180;10;240;0;";
  TForm7 form(profile, "", remote, dialogs, help);
  EXPECT_EQ(form.Edits[3]->text(), QStringLiteral(" ")) << "no connection, no phonebook number";
  EXPECT_TRUE(form.Edits[10]->isEnabled());
  form.CheckBox2->click();  // unchecking while Edit11 is 0
  EXPECT_TRUE(form.CheckBox2->isChecked());
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_EQ(dialogs.errors[0], testing::Sjis("0はエラーです。  1 ～ 9999 を入力して下さい"));
  form.Button1->click();
  EXPECT_NE(form.result(), QDialog::Accepted);
  EXPECT_EQ(profile, "1;20;1; ;1;1;0;0;0;0;0;1;10;0;10;180;10;240;0;");
  form.Edits[11]->setText(QStringLiteral("180"));
  form.Edits[3]->clear();
  form.RadioButton2->setChecked(true);
  form.CheckBox2->click();
  EXPECT_FALSE(form.CheckBox2->isChecked());
  EXPECT_FALSE(form.Edits[10]->isEnabled());
  form.Button1->click();
  EXPECT_EQ(profile, "1;20;1; ;0;0;0;0;0;0;0;1;10;180;10;180;10;240;0;");
}

TEST_F(ConnectionWindow, CancelLeavesTheWorkingCopy) {
  TForm7 form(profile, "Provider", remote, dialogs, help);
  form.CheckBox1->click();
  form.Edits[1]->setText(QStringLiteral("5"));
  form.Button2->click();
  EXPECT_EQ(profile, kDefaultDialProfile);
}

TEST_F(ConnectionWindow, ALongerStoredValueIsKeptWhole) {
  const std::string number(40, '9');  // a phonebook number may be longer than the edit's limit
  remote.phonebook = {{"Provider", number}};
  profile = "0;0020;1; ;1;0;0;0;0;0;0;1;10;180;10;180;10;240;0;";
  TForm7 form(profile, "Provider", remote, dialogs, help);
  form.Button1->click();
  EXPECT_EQ(profile, "0;0020;1;" + number + ";1;0;0;0;0;0;0;1;10;180;10;180;10;240;0;");
}

TEST_F(ConnectionWindow, TabGoesThroughTheGroupsInOrder) {
  TForm7 form(profile, "", remote, dialogs, help);
  QStringList order;
  QWidget* w = form.CheckBox1;
  do {
    if (w->focusPolicy() & Qt::TabFocus) order << w->objectName();
    w = w->nextInFocusChain();
  } while (w != form.CheckBox1);
  EXPECT_EQ(order.join(' ').toStdString(),
            "CheckBox1 Edit1 Edit2 Edit3 RadioButton1 RadioButton2 CheckBox2 Edit4 Edit5 Edit6 "
            "Edit7 Edit8 Edit9 Edit10 Edit11 Edit12 Edit13 Edit14 Edit15 CheckBox3 Button1 "
            "Button2 Button3");
}

TEST_F(ConnectionWindow, ACheckBoxAppliesTheEnablingBesideAnUnstorableText) {
  TForm7 form(profile, "", remote, dialogs, help);
  form.CheckBox2->click();
  form.Edits[10]->setText(QStringLiteral("1😀"));
  form.CheckBox1->click();  // the redial group has nothing unstorable
  EXPECT_TRUE(form.CheckBox1->isChecked());
  EXPECT_TRUE(form.Edits[1]->isEnabled());
  EXPECT_TRUE(dialogs.errors.empty());
  form.CheckBox2->click();  // the charge group cannot hide the text it cannot store
  EXPECT_TRUE(form.CheckBox2->isChecked());
  EXPECT_TRUE(form.Edits[10]->isEnabled());
  EXPECT_EQ(dialogs.errors.size(), 1u);
}

}  // namespace
}  // namespace norvax
