#include "platform/profile_file.h"

#include "platform/cp932.h"

namespace norvax {

WriteError::WriteError(std::string path)
    : std::runtime_error(path + ": cannot write"), path_(std::move(path)) {}

std::string WriteError::Message() const {
  return Cp932ForDisplay(path_) + Sjis(" に書き込めません");
}

ReadError::ReadError(const std::string& path, const std::string& reason)
    : std::runtime_error(path + ": cannot read: " + reason), path_(path), reason_(reason) {}

std::string ReadError::Message() const {
  return Cp932ForDisplay(path_) + Sjis(" を読み込めません (") + Cp932ForDisplay(reason_) + ")";
}

std::optional<std::string> ProfileFile::ReadValue(std::string_view section,
                                                  std::string_view key) const {
  for (auto& [k, v] : ReadSection(section)) {
    if (SameProfileName(k, key)) return v;
  }
  return std::nullopt;
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
  auto value = ReadValue(section, key);
  return value ? *value : std::string(fallback);
}

void ProfileFile::WriteValue(std::string_view section, std::string_view key,
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

bool SameProfileName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && Cp932UpperAscii(a) == Cp932UpperAscii(b);
}

}  // namespace norvax
