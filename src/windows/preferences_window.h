// Preferences window with its five pages.
#pragma once

#include "core/program_state.h"

class QWidget;

namespace norvax {

// Shows the preferences window; on OK stores the preferences into the state and
// saves them. True when the preferences were stored.
bool PreferencesCommand(ProgramState& state, Ports& ports, QWidget* parent);

}  // namespace norvax
