#include "core/scrambler.h"

#include <algorithm>
#include <chrono>
#include <random>

namespace norvax {
namespace {

DigitSource& TestDigits() {
  static DigitSource source;
  return source;
}

std::mt19937& Generator() {
  static std::mt19937 generator{std::random_device{}()};
  return generator;
}

int RandomDigit() {
  if (TestDigits()) return TestDigits()();
  return static_cast<int>(Generator()() % 10);
}

void AppendHexWord(std::string& out, uint16_t value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(value >> shift) & 0xF]);
}

}  // namespace

void SetDigitSourceForTest(DigitSource source) { TestDigits() = std::move(source); }

std::string ScrambleText(std::string_view text, bool first) {
  if (first) {
    Generator().seed(static_cast<std::mt19937::result_type>(
        std::chrono::steady_clock::now().time_since_epoch().count()));
  }
  std::string out;
  out.reserve(text.size() * 4 + 6);
  out.push_back(static_cast<char>('0' + RandomDigit()));
  out.push_back(static_cast<char>('0' + RandomDigit()));

  uint16_t sum = 0;
  for (unsigned char b : text) sum = static_cast<uint16_t>(sum + b);
  AppendHexWord(out, sum);

  uint16_t previous = sum;
  for (std::size_t k = 1; k <= text.size(); ++k) {
    auto b = static_cast<unsigned char>(text[k - 1]);
    auto word = static_cast<uint16_t>(b * kMultiplierTable[(k - 1) % 16]);
    previous = static_cast<uint16_t>(word ^ previous);
    AppendHexWord(out, previous);
  }
  return out;
}

Unscrambled UnscrambleText(std::string_view stored) {
  const std::size_t length = stored.size();
  const std::size_t m = length < 6 ? 0 : (length - 2) / 4;
  Unscrambled result;
  if (m > 1) result.text.reserve(m - 1);
  uint16_t previous = m > 0 ? ParseHexWord(stored.substr(2, 4)) : 0;
  const uint16_t v0 = previous;
  uint16_t sum = 0;
  for (std::size_t k = 1; k < m; ++k) {
    uint16_t r = ParseHexWord(stored.substr(2 + 4 * k, 4));
    uint16_t v = previous ^ r;
    previous = r;
    uint16_t q = v / kMultiplierTable[(k - 1) % 16];
    result.text.push_back(static_cast<char>(q & 0xFF));
    sum = static_cast<uint16_t>(sum + q);
  }
  result.checkOk = v0 == sum;
  return result;
}

bool IsStoredForm(std::string_view text) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  const auto upperHex = [&digit](char c) { return digit(c) || (c >= 'A' && c <= 'F'); };
  return text.size() >= 6 && (text.size() - 2) % 4 == 0 && digit(text[0]) && digit(text[1]) &&
         std::all_of(text.begin() + 2, text.end(), upperHex);
}

uint16_t ParseHexWord(std::string_view fourChars) {
  uint16_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    auto c = static_cast<unsigned char>(i < fourChars.size() ? fourChars[i] : 0);
    if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
    int digit = c > '9' ? c - 'A' + 10 : c - '0';
    value = static_cast<uint16_t>(value * 16 + digit);
  }
  return value;
}

}  // namespace norvax
