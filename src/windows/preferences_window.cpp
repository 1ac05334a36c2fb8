#include "windows/preferences_window.h"

namespace norvax {

bool PreferencesCommand(ProgramState&, Ports&, QWidget*) { return false; }

}  // namespace norvax
