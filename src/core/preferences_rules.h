// The preferences window's rules: which preference each check box and radio group
// edits, the values the window opens with and what its OK stores.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "core/preferences.h"

namespace norvax {

class PasswordPrompt;
class UserDialogs;

// Check boxes of the window with the preference each edits, in the order OK stores them.
inline constexpr std::array<Pref, 19> kPreferenceCheckBoxes = {
    KeepWindowPosition,  AlwaysOnTop,         ExitAfterBrowserStart, NoConnectNoBrowser,
    ExitOnLaunchFailure, Set2IsClass,         CopyToClipboard,       TabAfterIdSet1,
    TabAfterIdSet2,      EnterAfterPassSet1,  EnterAfterPassSet2,    EnterEvenIfNoPass,
    LockStart,           HangUpOnBrowserExit, ExitOnBrowserExit,     MinimiseAfterEnter,
    TitleSingleClick,    IdPassSingleClick,   ShowTargetCaption};

// Radio groups: preference and number of codes ("0" … count − 1).
struct RadioGroupPref {
  Pref pref;
  int codes;
};
inline constexpr std::array<RadioGroupPref, 3> kPreferenceRadioGroups = {
    {{StartMinimised, 2}, {IdDisplay, 3}, {PassDisplay, 3}}};

// What the window edits.
struct PreferencesForm {
  std::array<bool, kPreferenceCount> checked{};  // by preference index
  std::array<int, kPreferenceCount> radio{};     // code, or -1 when no button matches
  std::string lockPassword;                      // the window's working copy

  bool operator==(const PreferencesForm&) const = default;
};

// The form when the window opens: a check box is checked when its preference read as
// an integer is non-zero; a radio group selects the button whose code equals the value.
PreferencesForm LoadPreferencesForm(const PreferenceList& prefs);

// Writes the form into the list: check boxes "1" / "0", radio groups their code (a group
// without a checked button keeps its value), then the lock password.
void StorePreferencesForm(const PreferencesForm& form, PreferenceList& prefs);

// OK of the window: asks for the stored password when a lock is stored and the working
// copy still equals it; stores the form when allowed. True when stored.
bool ConfirmPreferences(const PreferencesForm& form, PreferenceList& prefs, PasswordPrompt& prompt,
                        UserDialogs& dialogs);

}  // namespace norvax
