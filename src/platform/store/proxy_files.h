// The files of other programs that hold the browsers' proxy settings, read and changed as
// text (UTF-8): Firefox's profiles.ini and user.js, KDE's kioslaverc. A change sets only
// what it is asked to and keeps every other byte.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/proxy_stores.h"

namespace norvax {

// The folder of the default Firefox profile that profiles.ini (text) names, below the
// folder that holds it: the first install's default, else the profile with Default=1;
// nothing when it names none.
std::optional<std::filesystem::path> DefaultFirefoxProfile(const std::string& profilesIni,
                                                           const std::filesystem::path& folder);

// user.js: user_pref("name", value); lines.

// The value in user.js notation (a string in double quotes); nothing for a value no
// preference can hold.
std::optional<std::string> UserPrefLiteral(const ProxyValue& value);

// The value the last user_pref of name in text sets, in user.js notation; nothing when none
// sets it.
std::optional<std::string> UserPrefValue(std::string_view text, std::string_view name);

// text with the preference name set to literal.
std::optional<std::string> SetUserPref(std::string_view text, std::string_view name,
                                       std::string_view literal);

// kioslaverc: the group [Proxy Settings].

// The value in kioslaverc notation.
std::string KioslavercValue(const ProxyValue& value);

// A kioslaverc: its path (CP932, for messages) and its text.
struct KdeConfigFile {
  std::string name;
  std::string text;
};

// What KDE takes for key of the group from files read in turn (the system's, then the
// user's): the value of the last entry (nothing when there is none, or [$d] deleted it),
// and the file and the line that lock the key: [$i] on the file, the group or the entry.
// A locked key takes no value from the files after it.
struct KdeProxyEntry {
  std::optional<std::string> value;
  std::string lockedIn;  // empty: the key is not locked
  std::string lockedBy;
};
KdeProxyEntry ReadKdeProxyEntry(const std::vector<KdeConfigFile>& files, std::string_view key);

// text with key of the group set to value: its last entry takes the value (its flags
// dropped), else a line is added at the end of the group's last block, else the group is
// added at the end. New lines take the file's line end.
std::string SetKdeProxyValue(std::string_view text, std::string_view key, std::string_view value);

}  // namespace norvax
