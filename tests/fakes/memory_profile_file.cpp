#include "fakes/memory_profile_file.h"

namespace norvax::fakes {

KeyValues MemoryProfileFile::ReadSection(std::string_view section) const {
  for (auto& [name, values] : sections) {
    if (SameProfileName(name, section)) return values;
  }
  return {};
}

void MemoryProfileFile::WriteSection(std::string_view section, const KeyValues& values) {
  if (failWrites) throw WriteError(Path());
  ++writeCount;
  for (auto it = sections.begin(); it != sections.end(); ++it) {
    if (!SameProfileName(it->first, section)) continue;
    if (values.empty()) {
      sections.erase(it);
    } else {
      it->second = values;
    }
    return;
  }
  if (!values.empty()) sections.emplace_back(std::string(section), values);
}

void MemoryProfileFile::WriteValue(std::string_view section, std::string_view key,
                                   std::string_view value) {
  KeyValues values = ReadSection(section);
  bool found = false;
  for (auto& [k, v] : values) {
    if (SameProfileName(k, key)) {
      v = value;
      found = true;
      break;
    }
  }
  if (!found) values.emplace_back(key, value);
  WriteSection(section, values);
}

void MemoryProfileFile::SaveCopy(std::string_view suffix) const {
  if (failWrites) throw WriteError(Path() + std::string(suffix));
  const_cast<MemoryProfileFile*>(this)->copies.emplace_back(suffix);
}

}  // namespace norvax::fakes
