#include "core/password_lock.h"

#include <gtest/gtest.h>

#include "fakes/fake_password_prompt.h"
#include "fakes/fake_user_dialogs.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

using ScriptedPrompt = fakes::FakePasswordPrompt;

PreferenceList PrefsWithLock(const std::string& value) {
  PreferenceList prefs;
  prefs.ResetToDefaults();
  prefs[LockPassword] = value;
  return prefs;
}

TEST(PasswordLock, StoredPasswordIsTheValueWithoutItsFirstCharacter) {
  EXPECT_EQ(StoredLockPassword(PrefsWithLock("")), "");
  EXPECT_EQ(StoredLockPassword(PrefsWithLock("@")), "");
  EXPECT_EQ(StoredLockPassword(PrefsWithLock("X")), "");
  EXPECT_EQ(StoredLockPassword(PrefsWithLock("@a")), "a");
  EXPECT_EQ(StoredLockPassword(PrefsWithLock("#secret")), "secret");
  EXPECT_EQ(StoredLockPassword(PreferenceList{}), "");

  PreferenceList prefs = PrefsWithLock("@");
  StoreLockPassword(prefs, "pw");
  EXPECT_EQ(prefs[LockPassword], "@pw");
  EXPECT_EQ(prefs[LockActive], "1");
  StoreLockPassword(prefs, "");
  EXPECT_EQ(prefs[LockPassword], "@");
  EXPECT_EQ(prefs[LockActive], "0");
}

TEST(PasswordLock, GuardedPlaceOutcomes) {
  struct Case {
    std::string stored;
    std::vector<ScriptedPrompt::Answer> answers;
    bool allowed;
    int shown;
    std::size_t errors;
  } cases[] = {
      {"@", {}, true, 0, 0},                              // no lock: no prompt
      {"", {}, true, 0, 0},                               // no lock: no prompt
      {"@Secret", {{true, "Secret", ""}}, true, 1, 0},    // equal
      {"@Secret", {{true, "secret", ""}}, false, 1, 1},   // letter case matters
      {"@Secret", {{true, "", ""}}, false, 1, 1},         // empty is different
      {"@Secret", {{false, "Secret", ""}}, false, 1, 0},  // cancelled: no message
  };
  for (const auto& c : cases) {
    ScriptedPrompt prompt;
    prompt.answers.assign(c.answers.begin(), c.answers.end());
    fakes::FakeUserDialogs dialogs;
    PreferenceList prefs = PrefsWithLock(c.stored);
    EXPECT_EQ(PassLock(prompt, dialogs, prefs, Sjis("登録ｳｲﾝﾄﾞｳ表示")), c.allowed) << c.stored;
    EXPECT_EQ(prompt.shown, c.shown);
    ASSERT_EQ(dialogs.errors.size(), c.errors);
    if (c.errors) {
      EXPECT_EQ(dialogs.errors[0], Sjis("ﾊﾟｽﾜ-ﾄﾞ ｴﾗ-。"));
    }
    if (c.shown) {
      EXPECT_EQ(prompt.setup.caption, Sjis("登録ｳｲﾝﾄﾞｳ表示"));
      EXPECT_FALSE(prompt.setup.secondField);
      EXPECT_EQ(prompt.setup.label2, "");
    }
  }
}

TEST(PasswordLock, SetLoopsUntilAPasswordOrCancel) {
  {
    ScriptedPrompt prompt;
    prompt.answers = {{true, "", ""}, {true, "", ""}, {true, "new", ""}};
    fakes::FakeUserDialogs dialogs;
    std::string working;
    SetLockFlow(prompt, dialogs, working);
    EXPECT_EQ(working, "new");
    EXPECT_EQ(prompt.shown, 3);
    EXPECT_EQ(prompt.setups, 1);  // the same dialog each time
    EXPECT_EQ(prompt.setup.caption, Sjis("登録ｳｲﾝﾄﾞｳのﾊﾟｽﾜｰﾄﾞ 設定"));
    EXPECT_EQ(dialogs.errors, std::vector<std::string>(2, Sjis("ﾊﾟｽﾜ-ﾄﾞを入力して下さい。")));
  }
  {
    ScriptedPrompt prompt;
    prompt.answers = {{true, "", ""}, {false, "", ""}};
    fakes::FakeUserDialogs dialogs;
    std::string working;
    SetLockFlow(prompt, dialogs, working);
    EXPECT_EQ(working, "");
  }
  {
    ScriptedPrompt prompt;
    fakes::FakeUserDialogs dialogs;
    std::string working = "old";
    SetLockFlow(prompt, dialogs, working);
    EXPECT_EQ(working, "old");
    EXPECT_EQ(prompt.shown, 0);
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{Sjis("登録済みです。")});
  }
}

TEST(PasswordLock, ChangeChecksTheOldPasswordThenNeedsANewOne) {
  ScriptedPrompt prompt;
  prompt.answers = {{true, "OLD", "x"}, {true, "old", ""}, {true, "old", "new"}};
  fakes::FakeUserDialogs dialogs;
  std::string working = "old";
  ChangeLockFlow(prompt, dialogs, working);
  EXPECT_EQ(working, "new");
  EXPECT_TRUE(prompt.setup.secondField);
  EXPECT_EQ(prompt.setup.caption, Sjis("登録ｳｲﾝﾄﾞｳのﾊﾟｽﾜｰﾄﾞ変更"));
  EXPECT_EQ(prompt.setup.label1, Sjis("旧ﾊﾟｽﾜ-ﾄﾞ"));
  EXPECT_EQ(prompt.setup.label2, Sjis("新ﾊﾟｽﾜ-ﾄﾞ"));
  EXPECT_EQ(dialogs.errors, (std::vector<std::string>{Sjis("旧ﾊﾟｽﾜ-ﾄﾞが不一致です。"),
                                                      Sjis("新ﾊﾟｽﾜ-ﾄﾞを入力して下さい。")}));

  ScriptedPrompt cancelled;
  cancelled.answers = {{true, "bad", "new"}, {false, "old", "new"}};
  working = "old";
  ChangeLockFlow(cancelled, dialogs, working);
  EXPECT_EQ(working, "old");

  fakes::FakeUserDialogs none;
  std::string empty;
  ChangeLockFlow(cancelled, none, empty);
  EXPECT_EQ(none.errors, std::vector<std::string>{Sjis("登録されていません。")});
}

TEST(PasswordLock, DeleteNeedsTheOldPassword) {
  ScriptedPrompt prompt;
  prompt.answers = {{true, "wrong", ""}, {true, "old", ""}};
  fakes::FakeUserDialogs dialogs;
  std::string working = "old";
  DeleteLockFlow(prompt, dialogs, working);
  EXPECT_EQ(working, "");
  EXPECT_FALSE(prompt.setup.secondField);
  EXPECT_EQ(prompt.setup.caption, Sjis("登録ｳｲﾝﾄﾞｳのﾊﾟｽﾜｰﾄﾞ削除"));
  EXPECT_EQ(dialogs.errors, std::vector<std::string>{Sjis("旧ﾊﾟｽﾜ-ﾄﾞが不一致です。")});

  ScriptedPrompt cancelled;
  working = "old";
  DeleteLockFlow(cancelled, dialogs, working);  // no answers: cancelled at once
  EXPECT_EQ(working, "old");

  fakes::FakeUserDialogs none;
  std::string empty;
  DeleteLockFlow(prompt, none, empty);
  EXPECT_EQ(none.errors, std::vector<std::string>{Sjis("登録されていません。")});
}

}  // namespace
}  // namespace norvax
