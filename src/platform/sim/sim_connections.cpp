#include "platform/sim/sim_connections.h"

#include "core/decimal.h"
#include "platform/store/ini_file.h"

namespace norvax {
namespace {

constexpr const char* kSection = "Connections";

}  // namespace

SimConnections::SimConnections(std::string path) : path_(std::move(path)) {}

uint32_t SimConnections::BringUp(const std::string& name) {
  if (auto handle = Find(name)) return *handle;
  IniFile file(path_);
  auto values = file.ReadSection(kSection);
  uint32_t next = 1;
  for (auto& [key, value] : values) {
    if (auto n = ParseDecimal(key); n && *n > 0 && static_cast<uint32_t>(*n) >= next) {
      next = static_cast<uint32_t>(*n) + 1;
    }
  }
  values.emplace_back(std::to_string(next), name);
  file.WriteSection(kSection, values);
  return next;
}

std::optional<uint32_t> SimConnections::Find(const std::string& name) const {
  for (auto& [key, value] : IniFile(path_).ReadSection(kSection)) {
    auto n = ParseDecimal(key);
    if (value == name && n && *n > 0) return static_cast<uint32_t>(*n);
  }
  return std::nullopt;
}

std::optional<std::string> SimConnections::NameOf(uint32_t handle) const {
  auto value = IniFile(path_).ReadValue(kSection, std::to_string(handle));
  return value;
}

bool SimConnections::HangUp(uint32_t handle) {
  IniFile file(path_);
  auto values = file.ReadSection(kSection);
  auto before = values.size();
  std::erase_if(values, [&](const auto& kv) { return kv.first == std::to_string(handle); });
  if (values.size() == before) return false;
  file.WriteSection(kSection, values);
  return true;
}

}  // namespace norvax
