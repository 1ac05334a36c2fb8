// The characters of CP932 text to type, with the key symbol that types each (X11 and XKB
// share the key symbols).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace norvax {

struct TypedCharacter {
  std::size_t bytes = 0;     // of the CP932 text
  std::uint32_t keysym = 0;  // 0 for a control character, which is not typed
};

std::vector<TypedCharacter> TypedCharacters(std::string_view cp932);

}  // namespace norvax
