#include "launch/registry_access.h"

#include "platform/cp932.h"
#include "platform/registry.h"

namespace norvax {
namespace {

std::string Quoted(const std::string& name, const char* rest) {
  return "'" + name + "'" + Sjis(rest);
}

RegistryError WrongType(const std::string& name) {
  return RegistryError(Quoted(name, " のﾃﾞｰﾀ型が不正です"));
}

}  // namespace

RegistryError::RegistryError(std::string message)
    : std::runtime_error("registry operation failed"), message_(std::move(message)) {}

std::string RegistryKey::ReadString(const std::string& name) {
  auto value = registry_.Read(key_, name);
  if (!value) return "";
  if (value->type != RegistryValue::Type::String) throw WrongType(name);
  return value->text;
}

void RegistryKey::WriteString(const std::string& name, const std::string& value) {
  if (!registry_.Write(key_, name, RegistryValue::String(value))) {
    throw RegistryError(WriteFailedMessage(name));
  }
}

std::string NotAnIntegerMessage(const std::string& text) {
  return Quoted(text, " は整数ではありません");
}

std::string ReadFailedMessage(const std::string& name) {
  return Quoted(name, " の取得に失敗しました");
}

std::string WriteFailedMessage(const std::string& name) {
  return Quoted(name, " の設定に失敗しました");
}

}  // namespace norvax
