// The stored form of scrambled settings values.
//
// A text of n bytes is stored as 4n + 6 characters: two random decimal digits, then n + 1
// groups of four upper-case hexadecimal digits. The first group is the 16-bit sum of the
// bytes; group k is byte k times a multiplier, chained by exclusive-or with group k - 1.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace norvax {

inline constexpr std::array<uint16_t, 16> kMultiplierTable{61,  149, 37,  212, 90,  173, 44,  239,
                                                           118, 67,  190, 29,  155, 83,  226, 102};

// Source of the two leading digits; carries no meaning. Set only by tests.
using DigitSource = std::function<int()>;
void SetDigitSourceForTest(DigitSource source);

// The stored form of text. first is true for the first value of a section written, which
// reseeds the random digits from the clock.
std::string ScrambleText(std::string_view text, bool first);

struct Unscrambled {
  std::string text;
  bool checkOk = false;
};

// The text of a stored form and whether its check matched. Any text is read (the settings
// load takes what older files hold): short text, trailing characters that fill no group and
// characters other than digits read as some text, which the check may pass.
Unscrambled UnscrambleText(std::string_view stored);

// Whether text has the form ScrambleText writes: two decimal digits, then one or more groups
// of four upper-case hexadecimal digits. For text that comes from a user rather than a file.
bool IsStoredForm(std::string_view text);

// Value of four hexadecimal characters, in 16-bit arithmetic; no character is rejected.
uint16_t ParseHexWord(std::string_view fourChars);

}  // namespace norvax
