#include "windows/preferences_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "fakes/fake_password_prompt.h"
#include "fakes/fake_ports.h"

namespace norvax {
namespace {

class PreferencesWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { prefs.ResetToDefaults(); }
  std::unique_ptr<TForm4> Open() {
    auto factory = [this] {
      auto prompt = std::make_unique<fakes::FakePasswordPrompt>();
      if (!scripts.empty()) {
        prompt->answers = scripts.front();
        scripts.pop_front();
      }
      ++promptsMade;
      return std::unique_ptr<PasswordPrompt>(std::move(prompt));
    };
    return std::make_unique<TForm4>(prefs, factory, fake.dialogs, fake.help);
  }

  PreferenceList prefs;
  fakes::FakePorts fake;
  std::deque<std::deque<fakes::FakePasswordPrompt::Answer>> scripts;
  int promptsMade = 0;
};

TEST_F(PreferencesWindowTest, OpensWithThePreferencesAndStoresThemOnOk) {
  prefs[IdDisplay] = "9";
  prefs[StartMinimised] = "1";
  prefs[ShowTargetCaption] = "1";
  auto w = Open();
  EXPECT_EQ(w->windowTitle(), QStringLiteral("環境設定"));
  EXPECT_EQ(w->PageControl1->currentIndex(), 0);
  EXPECT_EQ(w->PageControl1->count(), 5);
  EXPECT_TRUE(w->RadioButton[2]->isChecked());
  for (int n : {3, 4, 5}) EXPECT_FALSE(w->RadioButton[n]->isChecked());
  EXPECT_TRUE(w->RadioButton[7]->isChecked());  // preference 4 defaults to "1"
  EXPECT_TRUE(w->CheckBox[19]->isChecked());
  EXPECT_EQ(w->CheckBox.size(), 19u);

  w->CheckBox[19]->setChecked(false);
  w->CheckBox[6]->setChecked(true);
  w->RadioButton[1]->setChecked(true);
  w->Button1Click();
  EXPECT_TRUE(w->PreferencesSaved());
  EXPECT_EQ(promptsMade, 1);  // OK asks for a dialog but no lock is set
  EXPECT_EQ(prefs[ShowTargetCaption], "0");
  EXPECT_EQ(prefs[Set2IsClass], "1");
  EXPECT_EQ(prefs[StartMinimised], "0");
  EXPECT_EQ(prefs[IdDisplay], "9");  // no button matched: kept
  EXPECT_EQ(prefs[LockPassword], "@");
  EXPECT_EQ(prefs[LockActive], "0");
}

TEST_F(PreferencesWindowTest, CancelLeavesTheListAndHelpFollowsThePage) {
  const PreferenceList before = prefs;
  auto w = Open();
  w->CheckBox[1]->setChecked(!w->CheckBox[1]->isChecked());
  w->PageControl1->setCurrentIndex(2);
  w->Button3Click();
  w->PageControl1->setCurrentIndex(4);
  w->Button3Click();
  w->Button2Click();
  EXPECT_FALSE(w->PreferencesSaved());
  EXPECT_EQ(prefs, before);
  EXPECT_EQ(fake.help.topics, (std::vector<std::string>{"NV019", "NV021"}));
}

TEST_F(PreferencesWindowTest, StoredLockIsAskedForAtOk) {
  prefs[LockPassword] = "@pw";
  prefs[LockActive] = "1";
  const PreferenceList before = prefs;
  scripts = {{{true, "wrong", ""}}, {{false, "", ""}}, {{true, "pw", ""}}};
  auto w = Open();
  w->CheckBox[2]->setChecked(false);
  w->Button1Click();
  EXPECT_EQ(fake.dialogs.errors.size(), 1u);
  EXPECT_EQ(prefs, before);
  w->Button1Click();  // cancelled
  EXPECT_EQ(prefs, before);
  EXPECT_FALSE(w->PreferencesSaved());
  w->Button1Click();
  EXPECT_TRUE(w->PreferencesSaved());
  EXPECT_EQ(prefs[AlwaysOnTop], "0");
  EXPECT_EQ(prefs[LockPassword], "@pw");
}

TEST_F(PreferencesWindowTest, DeletingTheLockThenOkStoresWithoutAnotherPrompt) {
  prefs[LockPassword] = "@pw";
  scripts = {{{true, "pw", ""}}};
  auto w = Open();
  w->Button6Click();
  EXPECT_EQ(w->LockPasswordWorking(), "");
  w->Button1Click();
  EXPECT_EQ(promptsMade, 2);  // delete, then OK without showing
  EXPECT_TRUE(w->PreferencesSaved());
  EXPECT_EQ(prefs[LockPassword], "@");
  EXPECT_EQ(prefs[LockActive], "0");
}

TEST_F(PreferencesWindowTest, SetThenCancelKeepsTheStoredLock) {
  scripts = {{{true, "new", ""}}};
  auto w = Open();
  w->Button4Click();
  EXPECT_EQ(w->LockPasswordWorking(), "new");
  w->Button2Click();
  EXPECT_EQ(prefs[LockPassword], "@");
}

}  // namespace
}  // namespace norvax
