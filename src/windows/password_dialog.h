// Password dialog and the verification prompt of the guarded places.
#pragma once

#include <string>

class QWidget;

namespace norvax {

enum class VerifyOutcome { Equal, Different, Cancelled };

// Shows the password dialog in single-field form with the given caption and
// compares the typed text with the password (exact byte equality).
VerifyOutcome VerifyPassword(QWidget* parent, const std::string& captionCp932,
                             const std::string& passwordCp932);

}  // namespace norvax
