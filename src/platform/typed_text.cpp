#include "platform/typed_text.h"

#include "platform/cp932.h"

namespace norvax {
namespace {

// The first code point of UTF-8 text; 0 when it is malformed.
char32_t FirstCodePoint(std::string_view utf8) {
  if (utf8.empty()) return 0;
  auto c = static_cast<unsigned char>(utf8[0]);
  int extra = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
  if (extra < 0 || static_cast<std::size_t>(extra) >= utf8.size()) return 0;
  char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[k]) & 0x3F);
  return cp;
}

// Latin-1 characters have key symbols of their own value; every other character has the
// Unicode key symbol.
std::uint32_t KeySymFor(char32_t cp) {
  if (cp < 0x20) return 0;
  if (cp <= 0x7E || (cp >= 0xA0 && cp <= 0xFF)) return cp;
  return 0x01000000 | cp;
}

}  // namespace

std::vector<TypedCharacter> TypedCharacters(std::string_view cp932) {
  std::vector<TypedCharacter> out;
  for (std::size_t pos = 0; pos < cp932.size();) {
    std::size_t width =
        IsCp932LeadByte(static_cast<unsigned char>(cp932[pos])) && pos + 1 < cp932.size() ? 2 : 1;
    out.push_back({width, KeySymFor(FirstCodePoint(Cp932ToUtf8(cp932.substr(pos, width))))});
    pos += width;
  }
  return out;
}

}  // namespace norvax
