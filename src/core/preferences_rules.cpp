#include "core/preferences_rules.h"

#include "core/decimal.h"
#include "core/password_lock.h"
#include "platform/user_dialogs.h"

namespace norvax {

namespace {

const std::string& ValueOf(const PreferenceList& prefs, std::size_t i) {
  static const std::string kNone;
  return i < prefs.Size() ? prefs[i] : kNone;
}

}  // namespace

PreferencesForm LoadPreferencesForm(const PreferenceList& prefs) {
  PreferencesForm form;
  form.radio.fill(-1);
  for (Pref p : kPreferenceCheckBoxes) {
    auto n = ParseDecimal(ValueOf(prefs, p));
    form.checked[p] = n.has_value() && *n != 0;
  }
  for (const auto& group : kPreferenceRadioGroups) {
    const std::string& value = ValueOf(prefs, group.pref);
    for (int code = 0; code < group.codes; ++code) {
      if (value == std::to_string(code)) form.radio[group.pref] = code;
    }
  }
  form.lockPassword = StoredLockPassword(prefs);
  return form;
}

void StorePreferencesForm(const PreferencesForm& form, PreferenceList& prefs) {
  while (prefs.Size() < kPreferenceCount)
    prefs.Append(std::string(PreferenceDefaults[prefs.Size()]));
  for (Pref p : kPreferenceCheckBoxes) prefs[p] = form.checked[p] ? "1" : "0";
  for (const auto& group : kPreferenceRadioGroups) {
    if (form.radio[group.pref] >= 0) prefs[group.pref] = std::to_string(form.radio[group.pref]);
  }
  StoreLockPassword(prefs, form.lockPassword);
}

bool ConfirmPreferences(const PreferencesForm& form, PreferenceList& prefs, PasswordPrompt& prompt,
                        UserDialogs& dialogs) {
  const std::string stored = StoredLockPassword(prefs);
  if (!stored.empty() && form.lockPassword == stored) {
    if (!PassLock(prompt, dialogs, prefs, PreferencesCaptionForVerify())) return false;
  }
  StorePreferencesForm(form, prefs);
  return true;
}

}  // namespace norvax
