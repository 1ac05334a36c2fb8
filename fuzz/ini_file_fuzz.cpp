// The INI reader on any file contents, and a write of sections into that file: what is
// written reads back exactly, an erased section is gone, the other sections stay as read.
#include <array>
#include <string_view>

#include "fuzz_support.h"
#include "platform/store/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace norvax;
  IniFile file(fuzz::InputFile("norvax.ini", fuzz::Input(data, size)));
  // Sections of the seed files.
  constexpr std::array<std::string_view, 4> kSections{"LIST01", "LIST20", "ProviderA",
                                                      "Connections"};
  std::array<KeyValues, kSections.size()> before;
  KeyValues written;
  for (std::size_t i = 0; i < kSections.size(); ++i) {
    before[i] = file.ReadSection(kSections[i]);
    for (const auto& [key, value] : before[i]) {
      if (value.find_first_of("\r\n") == std::string::npos) {
        written.emplace_back(std::to_string(written.size()), value);
      }
    }
  }
  file.WriteSections({{std::string(kSections[0]), written}, {std::string(kSections[1]), {}}});
  FUZZ_CHECK(file.ReadSection(kSections[0]) == written);
  FUZZ_CHECK(file.ReadSection(kSections[1]).empty());
  for (std::size_t i = 2; i < kSections.size(); ++i) {
    FUZZ_CHECK(file.ReadSection(kSections[i]) == before[i]);
  }
  return 0;
}
