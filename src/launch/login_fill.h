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

// Finds the window that should receive text (by the browser kind in set1, the window named
// in set2, or the dial-up connect dialog named dialupCaption) and types the text there.
// True when a window was found and the text typed. Until the window finders and keystroke
// sending exist this finds no window and returns false.
bool FillLoginDialog(ProgramState& state, Ports& ports, const std::string& dialupCaption,
                     const std::string& text, const std::string& set1, const std::string& set2,
                     const std::string& connection, FillMode mode);

}  // namespace norvax
