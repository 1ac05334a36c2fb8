// Reading and writing registry values with the error messages of the program's registry
// layer. A failure throws RegistryError, which ends the launch that was under way.
#pragma once

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

  // A failed write: "'%s' の設定に失敗しました".
  void WriteString(const std::string& name, const std::string& value);

 private:
  Registry& registry_;
  std::string key_;
};

// "'%s' は整数ではありません"
std::string NotAnIntegerMessage(const std::string& text);
// "'%s' の取得に失敗しました", "'%s' の設定に失敗しました"
std::string ReadFailedMessage(const std::string& name);
std::string WriteFailedMessage(const std::string& name);

}  // namespace norvax
