#include "fakes/memory_profile_file.h"

#include <algorithm>

namespace norvax::fakes {

KeyValues MemoryProfileFile::ReadSection(std::string_view section) const {
  if (failReads) throw ReadError(Path(), "Permission denied");
  for (auto& [name, values] : sections) {
    if (SameProfileName(name, section)) return values;
  }
  return {};
}

void MemoryProfileFile::WriteSections(const Sections& changes) {
  if (failWrites) throw WriteError(Path());
  for (const auto& [section, values] : changes) {
    for (const auto& [key, value] : values) {
      if (key.find_first_of("\r\n=") != std::string::npos ||
          value.find_first_of("\r\n") != std::string::npos) {
        throw WriteError(Path());
      }
    }
  }
  ++writeCount;
  for (const auto& [section, values] : changes) {
    auto it = std::find_if(sections.begin(), sections.end(),
                           [&](const auto& s) { return SameProfileName(s.first, section); });
    if (it == sections.end()) {
      if (!values.empty()) sections.emplace_back(section, values);
    } else if (values.empty()) {
      sections.erase(it);
    } else {
      it->second = values;
    }
  }
}

std::string MemoryProfileFile::SaveCopy(std::string_view suffix) const {
  if (failCopies) throw WriteError(Path() + std::string(suffix));
  const_cast<MemoryProfileFile*>(this)->copies.emplace_back(suffix);
  return Path() + std::string(suffix);
}

}  // namespace norvax::fakes
