// Register window: the user's list of entries with add, edit, delete and move.
#pragma once

#include "core/program_state.h"

class QWidget;

namespace norvax {

// Asks for the lock password when one is set, shows the register window and, on
// OK, saves the entry table, its checksum and the preferences. True when the
// entries were saved.
bool RegisterCommand(ProgramState& state, Ports& ports, QWidget* parent);

}  // namespace norvax
