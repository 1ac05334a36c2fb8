// The lock password: where it is kept, the verification prompt of the guarded places,
// and the set / change / delete flows of the preferences window.
#pragma once

#include <string>

#include "core/preferences.h"

namespace norvax {

class UserDialogs;

enum class VerifyOutcome { Equal, Different, Cancelled };

// The stored password: preference 31 without its first character; empty (no lock) when
// the value is shorter than 2 characters.
std::string StoredLockPassword(const PreferenceList& prefs);
inline bool LockSet(const PreferenceList& prefs) { return !StoredLockPassword(prefs).empty(); }

// Stores the password in preferences 31 and 5: "@" + password and "1", or "@" and "0"
// for no password.
void StoreLockPassword(PreferenceList& prefs, const std::string& password);

// How the password dialog is laid out for one use.
struct PasswordPromptSetup {
  std::string caption;
  std::string label1;
  std::string label2;
  bool secondField = false;  // only Change uses the second field
};

// The password dialog as the flows see it. Shown again inside a loop it keeps what the
// user typed.
class PasswordPrompt {
 public:
  virtual ~PasswordPrompt() = default;
  virtual void Setup(const PasswordPromptSetup& setup) = 0;
  // Shows the dialog modally; true for OK, false for Cancel or any other close.
  virtual bool Show() = 0;
  virtual std::string First() const = 0;
  virtual std::string Second() const = 0;
};

// The single-field form with a caption, as the guarded places show it.
PasswordPromptSetup VerifySetup(const std::string& caption);

// Shows the prompt once and compares (exact byte equality).
VerifyOutcome Verify(PasswordPrompt& prompt, const std::string& caption,
                     const std::string& password);

// A guarded place: true when the action may go ahead — no lock stored, or the typed
// password matched. A wrong password shows "ﾊﾟｽﾜ-ﾄﾞ ｴﾗ-。"; Cancel shows nothing.
bool PassLock(PasswordPrompt& prompt, UserDialogs& dialogs, const PreferenceList& prefs,
              const std::string& caption);

// The flows of the preferences window's three buttons; they change only working.
void SetLockFlow(PasswordPrompt& prompt, UserDialogs& dialogs, std::string& working);
void ChangeLockFlow(PasswordPrompt& prompt, UserDialogs& dialogs, std::string& working);
void DeleteLockFlow(PasswordPrompt& prompt, UserDialogs& dialogs, std::string& working);

// Texts.
std::string PasswordErrorMessage();         // "ﾊﾟｽﾜ-ﾄﾞ ｴﾗ-。"
std::string RegisterCaptionForVerify();     // "登録ｳｲﾝﾄﾞｳ表示"
std::string StartCaptionForVerify();        // "NORVAXの起動"
std::string PreferencesCaptionForVerify();  // "環境設定"
std::string DefaultPasswordCaption();  // "登録ｳｲﾝﾄﾞｳのﾊﾟｽﾜｰﾄﾞ 設定"
std::string DefaultPasswordLabel();    // "ﾊﾟｽﾜｰﾄﾞの入力:"

}  // namespace norvax
