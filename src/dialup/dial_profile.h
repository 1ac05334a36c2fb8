// The per-entry dial profile: redial settings, the number to dial, logging, the provider's
// charging plan and the telephone tariff, stored as 19 fields each followed by ";".
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/remote_access.h"

namespace norvax {

inline constexpr std::size_t kProfileFieldCount = 19;

// A stored profile that cannot be parsed: too few fields or a field that is not a number.
// what() is a CP932 message.
class ProfileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Each ";" ends one item (possibly empty); characters after the last ";" are dropped.
void SplitProfile(std::string_view text, std::vector<std::string>& list);
std::vector<std::string> SplitProfile(std::string_view text);
// The items in order, each followed by ";".
std::string JoinProfile(const std::vector<std::string>& list);

struct ParsedProfile {
  char redial = 0;  // first character of the field ('\0' when empty)
  int32_t maximum = 0;
  int32_t interval = 0;
  std::string phone;  // "P" + field 3 for pulse dialling
  char tone = 0;
  char log = 0;
  int32_t baseMinutes = 0;
  int32_t baseFee = 0;
  int32_t unitSeconds = 0;
  int32_t unitFee = 0;
  int32_t cap = 0;
  int32_t startDay = 0;
  int32_t dayFee = 0;
  int32_t daySeconds = 0;
  int32_t holidayFee = 0;
  int32_t holidaySeconds = 0;
  int32_t lateFee = 0;
  int32_t lateSeconds = 0;
  char flatRate = 0;
};

// Throws ProfileError for fewer than 19 fields or a numeric field that is not decimal.
ParsedProfile ParseProfile(std::string_view text);

// The connection settings window's values, control by control. Edits hold CP932 text;
// edit[i] is Edit<i> (index 0 unused).
struct ConnectionSettings {
  bool checkBox1 = false;     // redial restriction lifted
  bool checkBox2 = false;     // create a connection log
  bool checkBox3 = false;     // flat-rate plan applies
  bool radioButton1 = false;  // tone
  bool radioButton2 = false;  // pulse
  std::array<std::string, 16> edit;
};

// What the window enables: the redial controls follow CheckBox1, both charge groups
// follow CheckBox2.
struct ConnectionSettingsEnabling {
  bool redial = false;
  bool charges = false;
  bool operator==(const ConnectionSettingsEnabling&) const = default;
};
ConnectionSettingsEnabling EnablingOf(const ConnectionSettings& settings);

// The window's values for a stored profile. When field 3 is exactly " " and the entry has a
// connection, Edit3 shows the phonebook's number for it (" " when it has none).
ConnectionSettings LoadConnectionSettings(std::string_view profileText,
                                          const std::string& connection, RemoteAccess& access);

// A failed check: the edit that gets the focus (1..15) and the CP932 message.
struct SettingsFailure {
  int edit = 0;
  std::string message;
  bool operator==(const SettingsFailure&) const = default;
};

std::optional<SettingsFailure> CheckRedialSettings(const ConnectionSettings& settings);
std::optional<SettingsFailure> CheckChargeSettings(const ConnectionSettings& settings);

// CheckBox1 / CheckBox2 were clicked (the new state is already in settings). Unchecking
// while its group's check fails checks the box again and returns the failure.
std::optional<SettingsFailure> CheckBox1Changed(ConnectionSettings& settings);
std::optional<SettingsFailure> CheckBox2Changed(ConnectionSettings& settings);

// "「<field>」に「;」は使えません。「;」を除いて下さい。": ";" ends a field of the stored profile,
// so the phone number, its one free text, may not hold one (field named in UTF-8).
std::string FieldSeparatorMessage(std::string_view fieldUtf8);

// OK: both checks (and, between them, a phone number with a line break or a ";" is
// refused), then
// the working profile text with the 19 fields replaced. Returns the failure and leaves
// profileText alone when a check fails.
std::optional<SettingsFailure> ApplyConnectionSettings(const ConnectionSettings& settings,
                                                       std::string& profileText);

}  // namespace norvax
