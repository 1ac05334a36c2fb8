#include "platform/cp932.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace norvax {
namespace {

// One conversion through iconv. Returns nothing on an unconvertible or invalid
// sequence unless replacement is given, in which case the offending input byte is
// skipped and the replacement written instead.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in,
                                   std::optional<std::string_view> replacement) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  std::string out;
  std::vector<char> buffer(in.size() * 4 + 16);
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  bool failed = false;
  while (inLeft > 0) {
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buffer.data(), outPtr);
    if (rc != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    if (!replacement) {
      failed = true;
      break;
    }
    out.append(*replacement);
    // Skip one byte of an invalid sequence, or one whole UTF-8 character that has no
    // form in the target.
    size_t skip = 1;
    if (std::string_view(from) == "UTF-8") {
      auto c = static_cast<unsigned char>(*inPtr);
      skip = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
      if (skip > inLeft) skip = inLeft;
    }
    inPtr += skip;
    inLeft -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  if (failed) return std::nullopt;
  return out;
}

}  // namespace

EncodingError::EncodingError(std::string_view field)
    : std::runtime_error(
          "「" + std::string(field) +
          "」にシフトJISで表せない文字が含まれています。その文字を除いてください。") {}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  return Convert("CP932", "UTF-8", utf8, std::nullopt);
}

std::string RequireCp932(std::string_view utf8, std::string_view field) {
  auto converted = Utf8ToCp932(utf8);
  if (!converted) throw EncodingError(field);
  return *converted;
}

std::string Sjis(std::string_view utf8Literal) {
  auto converted = Utf8ToCp932(utf8Literal);
  if (!converted) throw std::logic_error("message text without a CP932 form");
  return *converted;
}

std::string Cp932ForDisplay(std::string_view utf8) {
  return *Convert("CP932", "UTF-8", utf8, std::string_view("?"));
}

std::string Cp932ToUtf8(std::string_view cp932) {
  return *Convert("UTF-8", "CP932", cp932, std::string_view("\xEF\xBF\xBD"));
}

bool IsUtf8(std::string_view text) {
  return Convert("UTF-32LE", "UTF-8", text, std::nullopt).has_value();
}

std::string Cp932UpperAscii(std::string_view cp932) {
  std::string out(cp932);
  for (size_t i = 0; i < out.size(); ++i) {
    auto c = static_cast<unsigned char>(out[i]);
    if (IsCp932LeadByte(c)) {
      ++i;
    } else if (c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
  return out;
}

std::string_view Cp932Prefix(std::string_view cp932, std::size_t maxBytes) {
  // Shorter text fits whole, even when it ends in a lead byte.
  if (cp932.size() < maxBytes) return cp932;
  size_t i = 0;
  while (i < cp932.size()) {
    size_t width = IsCp932LeadByte(static_cast<unsigned char>(cp932[i])) ? 2 : 1;
    if (i + width > maxBytes) break;
    i += width;
  }
  return cp932.substr(0, std::min(i, cp932.size()));
}

}  // namespace norvax
