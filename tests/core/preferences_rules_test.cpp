#include "core/preferences_rules.h"

#include <gtest/gtest.h>

#include "core/password_lock.h"
#include "fakes/fake_password_prompt.h"
#include "fakes/fake_user_dialogs.h"
#include "test_files.h"

namespace norvax {
namespace {

PreferenceList Defaults() {
  PreferenceList prefs;
  prefs.ResetToDefaults();
  return prefs;
}

TEST(PreferencesRules, CheckBoxesAreOnForAnyNonZeroNumber) {
  PreferenceList prefs = Defaults();
  prefs[KeepWindowPosition] = "1";
  prefs[AlwaysOnTop] = "0";
  prefs[CopyToClipboard] = "2";  // non-zero counts
  prefs[LockStart] = "abc";      // not a number: off
  prefs[ShowTargetCaption] = "-1";
  PreferencesForm form = LoadPreferencesForm(prefs);
  EXPECT_TRUE(form.checked[KeepWindowPosition]);
  EXPECT_FALSE(form.checked[AlwaysOnTop]);
  EXPECT_TRUE(form.checked[CopyToClipboard]);
  EXPECT_FALSE(form.checked[LockStart]);
  EXPECT_TRUE(form.checked[ShowTargetCaption]);
}

TEST(PreferencesRules, RadioGroupWithoutMatchKeepsItsValue) {
  PreferenceList prefs = Defaults();
  prefs[StartMinimised] = "1";
  prefs[IdDisplay] = "7";
  prefs[PassDisplay] = "2";
  PreferencesForm form = LoadPreferencesForm(prefs);
  EXPECT_EQ(form.radio[StartMinimised], 1);
  EXPECT_EQ(form.radio[IdDisplay], -1);
  EXPECT_EQ(form.radio[PassDisplay], 2);
  StorePreferencesForm(form, prefs);
  EXPECT_EQ(prefs[IdDisplay], "7");
  EXPECT_EQ(prefs[PassDisplay], "2");
  // A group only offers its own codes: "2" is no start-up size.
  prefs[StartMinimised] = "2";
  EXPECT_EQ(LoadPreferencesForm(prefs).radio[StartMinimised], -1);
}

TEST(PreferencesRules, StoreWritesEveryShownPreferenceAndLeavesTheOthers) {
  PreferenceList prefs = Defaults();
  prefs[WindowLeft] = "123";
  prefs[TableChecksum] = "999";
  prefs[Preference30] = "x";
  PreferencesForm form = LoadPreferencesForm(prefs);
  form.checked.fill(true);
  form.radio[IdDisplay] = 1;
  StorePreferencesForm(form, prefs);
  for (Pref p : kPreferenceCheckBoxes) EXPECT_EQ(prefs[p], "1") << p;
  EXPECT_EQ(prefs[IdDisplay], "1");
  EXPECT_EQ(prefs[WindowLeft], "123");
  EXPECT_EQ(prefs[TableChecksum], "999");
  EXPECT_EQ(prefs[Preference30], "x");
  EXPECT_EQ(prefs[LockPassword], "@");
  EXPECT_EQ(prefs[LockActive], "0");
}

TEST(PreferencesRules, OkAsksForTheStoredPasswordOnlyWhileItIsUnchanged) {
  using testing::Sjis;
  struct Case {
    const char* name;
    std::string stored;
    std::string working;
    std::vector<fakes::FakePasswordPrompt::Answer> answers;
    bool stored_ok;
    int shown;
    std::size_t errors;
  } cases[] = {
      {"no lock", "@", "", {}, true, 0, 0},
      {"right password", "@pw", "pw", {{true, "pw", ""}}, true, 1, 0},
      {"wrong password", "@pw", "pw", {{true, "PW", ""}}, false, 1, 1},
      {"cancel", "@pw", "pw", {{false, "", ""}}, false, 1, 0},
      {"deleted in the window", "@pw", "", {}, true, 0, 0},
      {"changed in the window", "@pw", "new", {}, true, 0, 0},
  };
  for (const auto& c : cases) {
    PreferenceList prefs = Defaults();
    prefs[LockPassword] = c.stored;
    PreferencesForm form = LoadPreferencesForm(prefs);
    form.lockPassword = c.working;
    form.checked[AlwaysOnTop] = false;
    const PreferenceList before = prefs;
    fakes::FakePasswordPrompt prompt;
    prompt.answers.assign(c.answers.begin(), c.answers.end());
    fakes::FakeUserDialogs dialogs;
    EXPECT_EQ(ConfirmPreferences(form, prefs, prompt, dialogs), c.stored_ok) << c.name;
    EXPECT_EQ(prompt.shown, c.shown) << c.name;
    EXPECT_EQ(dialogs.errors.size(), c.errors) << c.name;
    if (c.shown) {
      EXPECT_EQ(prompt.setup.caption, Sjis("環境設定"));
    }
    if (c.stored_ok) {
      EXPECT_EQ(prefs[LockPassword], "@" + c.working) << c.name;
      EXPECT_EQ(prefs[LockActive], c.working.empty() ? "0" : "1") << c.name;
      EXPECT_EQ(prefs[AlwaysOnTop], "0");
    } else {
      EXPECT_EQ(prefs, before) << c.name;
    }
  }
}

}  // namespace
}  // namespace norvax
