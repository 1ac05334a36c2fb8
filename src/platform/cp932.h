// Conversion between the system's text (CP932 bytes) and UTF-8, used at the edges only:
// Qt widgets, X11 titles and typing, the command line.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace norvax {

// Text that has no CP932 form was offered for storage or typing.
class EncodingError : public std::runtime_error {
 public:
  // field names what was being entered (UTF-8); the message is UTF-8 and names it.
  explicit EncodingError(std::string_view field);
};

// The CP932 form of UTF-8 text, or nothing when some character has no CP932 form
// or the input is not valid UTF-8.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// The CP932 form of UTF-8 text; throws EncodingError naming the field when it has none.
std::string RequireCp932(std::string_view utf8, std::string_view field);

// CP932 form of a literal of the program's own (message texts); the literal must be
// representable, which is a programming error otherwise (std::logic_error).
std::string Sjis(std::string_view utf8Literal);

// CP932 form of text shown only for information (a file path in a message): characters
// without a CP932 form become "?".
std::string Cp932ForDisplay(std::string_view utf8);

// UTF-8 form of CP932 text. Bytes that do not form a CP932 character become U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);

// True when the text is valid UTF-8 (plain ASCII is).
bool IsUtf8(std::string_view text);

// True for the first byte of a double-byte CP932 character.
constexpr bool IsCp932LeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The ASCII letters of the text in upper case, double-byte characters untouched.
std::string Cp932UpperAscii(std::string_view cp932);

// The longest prefix of at most maxBytes bytes that does not end inside a
// double-byte character.
std::string_view Cp932Prefix(std::string_view cp932, std::size_t maxBytes);

}  // namespace norvax
