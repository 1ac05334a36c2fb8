// Port: the clipboard (plain text).
#pragma once

#include <string>

namespace norvax {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Puts CP932 text on the clipboard.
  virtual void SetText(const std::string& text) = 0;
};

}  // namespace norvax
