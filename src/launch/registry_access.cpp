#include "launch/registry_access.h"

#include "platform/cp932.h"
#include "platform/registry.h"

namespace norvax {
namespace {

std::string Quoted(const std::string& name, const char* rest) {
  return "'" + name + "'" + Sjis(rest);
}

RegistryError ReadFailed(const std::string& name) {
  return RegistryError(Quoted(name, " の取得に失敗しました"));
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

uint32_t RegistryKey::ReadInteger(const std::string& name) {
  auto value = registry_.Read(key_, name);
  if (!value) throw ReadFailed(name);
  if (value->type != RegistryValue::Type::Integer) throw WrongType(name);
  return value->number;
}

uint32_t RegistryKey::ReadBinaryWord(const std::string& name) {
  auto value = registry_.Read(key_, name);
  if (!value) return 0;
  if (value->type != RegistryValue::Type::Binary || value->text.size() > 4) throw WrongType(name);
  uint32_t word = 0;
  for (std::size_t i = 0; i < value->text.size(); ++i) {
    word |= uint32_t{static_cast<unsigned char>(value->text[i])} << (8 * i);
  }
  return word;
}

void RegistryKey::Write(const std::string& name, const RegistryValue& value) {
  if (!registry_.Write(key_, name, value)) {
    throw RegistryError(Quoted(name, " の設定に失敗しました"));
  }
}

void RegistryKey::WriteString(const std::string& name, const std::string& value) {
  Write(name, RegistryValue::String(value));
}

void RegistryKey::WriteInteger(const std::string& name, uint32_t value) {
  Write(name, RegistryValue::Integer(value));
}

void RegistryKey::WriteBinaryWord(const std::string& name, uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  Write(name, RegistryValue::Binary(bytes));
}

std::string NotAnIntegerMessage(const std::string& text) {
  return Quoted(text, " は整数ではありません");
}

}  // namespace norvax
