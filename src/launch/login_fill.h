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

// Caption of the dial-up connect dialog for an entry's browser kind (Set1), CP932:
// "ダイヤルアップ接続" for "IE4.0" and "IE4&WIN98", else "接続".
std::string DialupCaptionFor(const std::string& set1);

// Finds the window that should receive text and types it there: in the connect dialog
// (mode 0: the text and ENTER), or for an ID or password click in the login dialog of the
// entry's browser kind (set1), the window named by set2, the dial-up dialogs, or the
// browser's own window, in that order. True when a window was found and typed into.
bool FillLoginDialog(ProgramState& state, Ports& ports, const std::string& dialupCaption,
                     const std::string& text, const std::string& set1, const std::string& set2,
                     const std::string& connection, FillMode mode);

}  // namespace norvax
