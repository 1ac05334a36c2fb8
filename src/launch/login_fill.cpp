#include "launch/login_fill.h"

namespace norvax {

bool FillLoginDialog(ProgramState&, Ports&, const std::string&, const std::string&,
                     const std::string&, const std::string&, const std::string&, FillMode) {
  return false;
}

}  // namespace norvax
