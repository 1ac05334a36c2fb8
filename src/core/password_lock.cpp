#include "core/password_lock.h"

#include "platform/cp932.h"
#include "platform/user_dialogs.h"

namespace norvax {

std::string StoredLockPassword(const PreferenceList& prefs) {
  if (prefs.Size() <= LockPassword) return {};
  const std::string& value = prefs[LockPassword];
  return value.size() < 2 ? std::string() : value.substr(1);
}

void StoreLockPassword(PreferenceList& prefs, const std::string& password) {
  prefs[LockPassword] = "@" + password;
  prefs[LockActive] = password.empty() ? "0" : "1";
}

PasswordPromptSetup VerifySetup(const std::string& caption) {
  return PasswordPromptSetup{caption, DefaultPasswordLabel(), "", false};
}

VerifyOutcome Verify(PasswordPrompt& prompt, const std::string& caption,
                     const std::string& password) {
  prompt.Setup(VerifySetup(caption));
  if (!prompt.Show()) return VerifyOutcome::Cancelled;
  return prompt.First() == password ? VerifyOutcome::Equal : VerifyOutcome::Different;
}

bool PassLock(PasswordPrompt& prompt, UserDialogs& dialogs, const PreferenceList& prefs,
              const std::string& caption) {
  const std::string password = StoredLockPassword(prefs);
  if (password.empty()) return true;
  switch (Verify(prompt, caption, password)) {
    case VerifyOutcome::Equal:
      return true;
    case VerifyOutcome::Different:
      dialogs.ShowError(PasswordErrorMessage());
      return false;
    case VerifyOutcome::Cancelled:
      return false;
  }
  return false;
}

void SetLockFlow(PasswordPrompt& prompt, UserDialogs& dialogs, std::string& working) {
  if (!working.empty()) {
    dialogs.ShowError(Sjis("登録済みです。"));
    return;
  }
  prompt.Setup(VerifySetup(DefaultPasswordCaption()));
  while (working.empty()) {
    if (!prompt.Show()) return;
    if (!prompt.First().empty()) {
      working = prompt.First();
    } else {
      dialogs.ShowError(Sjis("ﾊﾟｽﾜ-ﾄﾞを入力して下さい。"));
    }
  }
}

void ChangeLockFlow(PasswordPrompt& prompt, UserDialogs& dialogs, std::string& working) {
  if (working.empty()) {
    dialogs.ShowError(Sjis("登録されていません。"));
    return;
  }
  prompt.Setup(PasswordPromptSetup{Sjis("登録ｳｲﾝﾄﾞｳのﾊﾟｽﾜｰﾄﾞ変更"), Sjis("旧ﾊﾟｽﾜ-ﾄﾞ"),
                                   Sjis("新ﾊﾟｽﾜ-ﾄﾞ"), true});
  for (;;) {
    if (!prompt.Show()) return;
    if (prompt.First() != working) {
      dialogs.ShowError(Sjis("旧ﾊﾟｽﾜ-ﾄﾞが不一致です。"));
    } else if (!prompt.Second().empty()) {
      working = prompt.Second();
      return;
    } else {
      dialogs.ShowError(Sjis("新ﾊﾟｽﾜ-ﾄﾞを入力して下さい。"));
    }
  }
}

void DeleteLockFlow(PasswordPrompt& prompt, UserDialogs& dialogs, std::string& working) {
  if (working.empty()) {
    dialogs.ShowError(Sjis("登録されていません。"));
    return;
  }
  prompt.Setup(PasswordPromptSetup{Sjis("登録ｳｲﾝﾄﾞｳのﾊﾟｽﾜｰﾄﾞ削除"), Sjis("旧ﾊﾟｽﾜ-ﾄﾞ"), "", false});
  for (;;) {
    if (!prompt.Show()) return;
    if (prompt.First() == working) {
      working.clear();
      return;
    }
    dialogs.ShowError(Sjis("旧ﾊﾟｽﾜ-ﾄﾞが不一致です。"));
  }
}

std::string PasswordErrorMessage() { return Sjis("ﾊﾟｽﾜ-ﾄﾞ ｴﾗ-。"); }
std::string RegisterCaptionForVerify() { return Sjis("登録ｳｲﾝﾄﾞｳ表示"); }
std::string StartCaptionForVerify() { return Sjis("NORVAXの起動"); }
std::string PreferencesCaptionForVerify() { return Sjis("環境設定"); }
std::string DefaultPasswordCaption() { return Sjis("登録ｳｲﾝﾄﾞｳのﾊﾟｽﾜｰﾄﾞ 設定"); }
std::string DefaultPasswordLabel() { return Sjis("ﾊﾟｽﾜｰﾄﾞの入力:"); }

}  // namespace norvax
