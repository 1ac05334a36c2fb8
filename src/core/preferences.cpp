#include "core/preferences.h"

#include <stdexcept>

#include "core/settings.h"

namespace norvax {

const std::array<std::string_view, kPreferenceCount> PreferenceDefaults{
    "1",    "1",    "0",    "0",    "1", "0", "0", "0", "1", "5000", "5000",
    "5000", "5000", "5000", "5000", "0", "0", "0", "0", "0", "0",    "0",
    "0",    "0",    "1",    "1",    "0", "0", "0", "0", "0", "@"};

void PreferenceList::ResetToDefaults() {
  values_.assign(PreferenceDefaults.begin(), PreferenceDefaults.end());
}

bool JoinPreferences(const PreferenceList& list, std::size_t n, std::string& joined) {
  if (list.Size() < n || n == 0) return false;
  std::string out = list[0];
  for (std::size_t i = 1; i < n; ++i) out += "," + list[i];
  joined = std::move(out);
  return true;
}

void SplitPreferences(PreferenceList& list, std::string_view s) {
  std::string_view rest = s;
  while (!rest.empty()) {
    auto comma = rest.find(',');
    if (comma == std::string_view::npos) {
      list.Append(std::string(rest));
      return;
    }
    if (comma > 0) list.Append(std::string(rest.substr(0, comma)));
    rest.remove_prefix(comma + 1);
  }
}

KeyValues StoredPreferences(const PreferenceList& list) {
  if (list.Size() != kPreferenceCount) throw std::logic_error("preference list incomplete");
  std::string joined;
  JoinPreferences(list, kPreferenceCount - 1, joined);
  return StoredValues({joined, list[LockPassword]}, true);
}

void SavePreferences(ProfileFile& file, const PreferenceList& list) {
  file.WriteSection(kPreferenceSection, StoredPreferences(list));
}

}  // namespace norvax
