// Typing an entry's ID or password into a login dialog.
#pragma once

#include <string>

#include "core/program_state.h"

namespace norvax {

enum class FillMode {
  ConnectDialog = 0,  // the password into the dial-up connect dialog, from the main timer
  Id = 1,             // an ID click in the main window
  Password = 2,       // a password click in the main window
};

// What a fill came to.
enum class FillResult {
  NotFound,   // no candidate window was found (or none took the focus): nothing typed
  Typed,      // the whole text was typed into the window found
  Stopped,    // the window lost the focus while the text was typed: the typing stopped there
  Refused,    // a launch or another fill was under way (ID and password clicks): nothing done
  Untypable,  // the text holds characters the desktop cannot type: nothing typed
};

// "NORVAX  入力中に入力先のｳｲﾝﾄﾞｳが切り替わったため、入力を中止しました。"
std::string TypingStoppedMessage();

// "NORVAX  このﾃﾞｽｸﾄｯﾌﾟでは入力できない文字があるため、入力しませんでした。(<characters>)"
std::string UntypableMessage(const std::string& characters);

// "NORVAX  <problem>": why the desktop's windows cannot be found or typed into.
std::string UnreachableMessage(const std::string& problem);

// "NORVAX  <problem>\n" and the question whether to type into the window with the keyboard
// focus, unseen, once NORVAX is minimised.
std::string FocusTypingQuestion(const std::string& problem);

// How long the focus is given to go back to the user's window after NORVAX is minimised.
inline constexpr uint32_t kFocusReturnMs = 500;
// Why text (CP932) is not typed at all: the desktop cannot type here (its own message), or
// it lacks some of the characters (UntypableMessage); empty when it can type every one.
std::string UntypableProblem(WindowSystem& windows, const std::string& text);

// Caption of the dial-up connect dialog for an entry's browser kind (Set1), CP932:
// "ダイヤルアップ接続" for "IE4.0" and "IE4&WIN98", else "接続".
std::string DialupCaptionFor(const std::string& set1);

// Finds the window that should receive text and types it there: in the connect dialog
// (mode 0: the text and ENTER), or for an ID or password click in the login dialog of the
// entry's browser kind (set1), the window named by set2, the dial-up dialogs, or the
// browser's own window, in that order. A typing that stops (the window lost the focus) is
// no success: an ID or password click then tries no further window, does not minimise the
// program and tells the user; the connect dialog's fill leaves that to the main timer. A
// click that finds nothing, or stops, on a desktop whose windows cannot be reached says why;
// where that desktop can type into the focused window, the click asks whether to, minimises
// NORVAX (the focus goes back to the window the user was in) and types the Set1 text there.
FillResult FillLoginDialog(ProgramState& state, Ports& ports, const std::string& dialupCaption,
                           const std::string& text, const std::string& set1,
                           const std::string& set2, const std::string& connection, FillMode mode);

}  // namespace norvax
