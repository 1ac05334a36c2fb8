// Port: the current user's registry (keys of other programs' settings). Names and string
// data are CP932.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace norvax {

struct RegistryValue {
  enum class Type { String, Integer, Binary };
  Type type = Type::String;
  std::string text;     // String: the text; Binary: the bytes
  uint32_t number = 0;  // Integer (a 32-bit DWORD)

  static RegistryValue String(std::string s) { return {Type::String, std::move(s), 0}; }
  static RegistryValue Integer(uint32_t n) { return {Type::Integer, {}, n}; }
  static RegistryValue Binary(std::string bytes) { return {Type::Binary, std::move(bytes), 0}; }
  bool operator==(const RegistryValue&) const = default;
};

class Registry {
 public:
  virtual ~Registry() = default;

  // True when the key (a path below the current user's root, "\"-separated, compared
  // without regard to ASCII case) exists. Keys are never created.
  virtual bool KeyExists(const std::string& key) = 0;

  // The value, or nothing when the key or the value is missing.
  virtual std::optional<RegistryValue> Read(const std::string& key, const std::string& name) = 0;

  // Sets a value of an existing key; false when the key is missing or the store cannot be
  // written.
  virtual bool Write(const std::string& key, const std::string& name,
                     const RegistryValue& value) = 0;
};

}  // namespace norvax
