// Reading and writing registry values with the error messages of the program's registry
// layer. A failure throws RegistryError, which ends the launch that was under way.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace norvax {

class Registry;

// A registry operation failed; Message() is the CP932 text shown to the user.
class RegistryError : public std::runtime_error {
 public:
  explicit RegistryError(std::string message);
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// One open key: reads and writes its values.
class RegistryKey {
 public:
  RegistryKey(Registry& registry, std::string key) : registry_(registry), key_(std::move(key)) {}

  // A missing string reads as ""; a value of another type: "'%s' のﾃﾞｰﾀ型が不正です".
  std::string ReadString(const std::string& name);
  // A missing value: "'%s' の取得に失敗しました"; another type: "'%s' のﾃﾞｰﾀ型が不正です".
  uint32_t ReadInteger(const std::string& name);
  // At most 4 bytes of binary data as a little-endian number; a missing value reads as 0;
  // another type or more bytes: "'%s' のﾃﾞｰﾀ型が不正です".
  uint32_t ReadBinaryWord(const std::string& name);

  // A failed write: "'%s' の設定に失敗しました".
  void WriteString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, uint32_t value);
  void WriteBinaryWord(const std::string& name, uint32_t value);

 private:
  void Write(const std::string& name, const struct RegistryValue& value);

  Registry& registry_;
  std::string key_;
};

// "'%s' は整数ではありません"
std::string NotAnIntegerMessage(const std::string& text);

}  // namespace norvax
