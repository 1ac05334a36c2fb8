#include "windows/register_window.h"

namespace norvax {

bool RegisterCommand(ProgramState&, Ports&, QWidget*) { return false; }

}  // namespace norvax
