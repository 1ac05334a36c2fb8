#include "platform/store/registry_store.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/cp932.h"
#include "platform/profile_file.h"
#include "platform/store/ini_file.h"

namespace norvax {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER\\";

struct Value {
  std::string name;
  RegistryValue value;
};

struct Key {
  std::string path;  // below the root, without a leading "\"; whole name for another root
  std::vector<Value> values;
  bool otherRoot = false;  // kept as it is, out of reach of the program
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string NormaliseKey(std::string_view key) {
  while (!key.empty() && key.front() == '\\') key.remove_prefix(1);
  while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
  return std::string(key);
}

std::string Quote(std::string_view s) {
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size(); ++i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (IsCp932LeadByte(c) && i + 1 < s.size()) {
      out.push_back(s[i]);
      out.push_back(s[++i]);
      continue;
    }
    // A lead byte without its trail byte is escaped too: the reader would take the closing
    // quote for its trail byte.
    if (c == '\\' || c == '"' || IsCp932LeadByte(c)) out.push_back('\\');
    out.push_back(s[i]);
  }
  return out + "\"";
}

// Reads a quoted string starting at s[pos] == '"'; pos ends after the closing quote.
std::optional<std::string> Unquote(std::string_view s, std::size_t& pos) {
  if (pos >= s.size() || s[pos] != '"') return std::nullopt;
  std::string out;
  for (++pos; pos < s.size(); ++pos) {
    auto c = static_cast<unsigned char>(s[pos]);
    if (IsCp932LeadByte(c) && pos + 1 < s.size()) {
      out.push_back(s[pos]);
      out.push_back(s[++pos]);
    } else if (c == '\\' && pos + 1 < s.size()) {
      out.push_back(s[++pos]);
    } else if (c == '"') {
      ++pos;
      return out;
    } else {
      out.push_back(s[pos]);
    }
  }
  return std::nullopt;
}

std::optional<RegistryValue> ParseData(std::string_view data) {
  if (!data.empty() && data.front() == '"') {
    std::size_t pos = 0;
    auto text = Unquote(data, pos);
    if (!text) return std::nullopt;
    return RegistryValue::String(*text);
  }
  if (data.starts_with("dword:")) {
    auto hex = data.substr(6);
    if (hex.size() != 8) return std::nullopt;
    uint32_t n = 0;
    for (char c : hex) {
      int d = HexDigit(c);
      if (d < 0) return std::nullopt;
      n = n * 16 + static_cast<uint32_t>(d);
    }
    return RegistryValue::Integer(n);
  }
  if (data.starts_with("hex:")) {
    std::string bytes;
    std::string_view rest = data.substr(4);
    while (!rest.empty()) {
      auto comma = rest.find(',');
      auto item = rest.substr(0, comma);
      if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) return std::nullopt;
      bytes.push_back(static_cast<char>(HexDigit(item[0]) * 16 + HexDigit(item[1])));
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    return RegistryValue::Binary(bytes);
  }
  return std::nullopt;
}

std::string FormatData(const RegistryValue& v) {
  char buffer[16];
  switch (v.type) {
    case RegistryValue::Type::String:
      return Quote(v.text);
    case RegistryValue::Type::Integer:
      std::snprintf(buffer, sizeof buffer, "dword:%08x", v.number);
      return buffer;
    case RegistryValue::Type::Binary: {
      std::string out = "hex:";
      for (std::size_t i = 0; i < v.text.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%s%02x", i ? "," : "",
                      static_cast<unsigned char>(v.text[i]));
        out += buffer;
      }
      return out;
    }
  }
  return {};
}

std::vector<Key> Parse(const std::string& text) {
  std::vector<Key> keys;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line == kHeader || line.front() == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      std::string_view path = std::string_view(line).substr(1, line.size() - 2);
      if (Cp932UpperAscii(path.substr(0, kRoot.size())) != kRoot) {
        keys.push_back({std::string(path), {}, true});
        continue;
      }
      keys.push_back({NormaliseKey(path.substr(kRoot.size())), {}, false});
      continue;
    }
    if (keys.empty()) continue;
    std::size_t pos = 0;
    std::string name;
    if (line.front() == '@') {
      pos = 1;
    } else if (auto quoted = Unquote(line, pos)) {
      name = *quoted;
    } else {
      continue;
    }
    if (pos >= line.size() || line[pos] != '=') continue;
    if (auto value = ParseData(std::string_view(line).substr(pos + 1))) {
      keys.back().values.push_back({name, *value});
    }
  }
  return keys;
}

std::string Format(const std::vector<Key>& keys) {
  std::string out(kHeader);
  out += "\r\n";
  for (const auto& key : keys) {
    out += "\r\n[" + (key.otherRoot ? key.path : std::string(kRoot) + key.path) + "]\r\n";
    for (const auto& v : key.values) {
      out +=
          (v.name.empty() ? std::string("@") : Quote(v.name)) + "=" + FormatData(v.value) + "\r\n";
    }
  }
  return out;
}

std::string Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::filesystem::exists(path) ? std::string() : FreshRegistryText();
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

Key* FindKey(std::vector<Key>& keys, const std::string& key) {
  auto wanted = Cp932UpperAscii(NormaliseKey(key));
  for (auto& k : keys) {
    if (!k.otherRoot && Cp932UpperAscii(k.path) == wanted) return &k;
  }
  return nullptr;
}

}  // namespace

RegistryStore::RegistryStore(std::string path) : path_(std::move(path)) {}

bool RegistryStore::KeyExists(const std::string& key) {
  auto keys = Parse(Load(path_));
  return FindKey(keys, key) != nullptr;
}

std::optional<RegistryValue> RegistryStore::Read(const std::string& key, const std::string& name) {
  auto keys = Parse(Load(path_));
  Key* k = FindKey(keys, key);
  if (!k) return std::nullopt;
  for (const auto& v : k->values) {
    if (SameProfileName(v.name, name)) return v.value;
  }
  return std::nullopt;
}

bool RegistryStore::Write(const std::string& key, const std::string& name,
                          const RegistryValue& value) {
  auto keys = Parse(Load(path_));
  Key* k = FindKey(keys, key);
  if (!k) return false;
  bool found = false;
  for (auto& v : k->values) {
    if (SameProfileName(v.name, name)) {
      v.value = value;
      found = true;
      break;
    }
  }
  if (!found) k->values.push_back({name, value});
  try {
    ReplaceFileAtomically(path_, Format(keys));
  } catch (const WriteError&) {
    return false;
  }
  return true;
}

std::string FreshRegistryText() {
  return "REGEDIT4\r\n"
         "\r\n[HKEY_CURRENT_USER\\RemoteAccess]\r\n"
         "\"InternetProfile\"=\"\"\r\n"
         "\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet "
         "Settings]\r\n"
         "\"ProxyEnable\"=hex:00,00,00,00\r\n"
         "\"ProxyServer\"=\"\"\r\n"
         "\"ProxyOverride\"=\"\"\r\n"
         "\r\n[HKEY_CURRENT_USER\\Software\\Netscape\\Netscape Navigator\\Proxy Information]\r\n"
         "\"Proxy Type\"=dword:00000000\r\n"
         "\"FTP_Proxy\"=\"\"\r\n"
         "\"Ftp_ProxyPort\"=dword:00000000\r\n"
         "\"Gopher_Proxy\"=\"\"\r\n"
         "\"Gopher_ProxyPort\"=dword:00000000\r\n"
         "\"HTTP_Proxy\"=\"\"\r\n"
         "\"Http_ProxyPort\"=dword:00000000\r\n"
         "\"HTTPS_Proxy\"=\"\"\r\n"
         "\"HTTPS_ProxyPort\"=dword:00000000\r\n"
         "\"No_Proxy\"=\"\"\r\n"
         "\r\n[HKEY_CURRENT_USER\\Software\\Netscape\\Netscape Navigator\\Services]\r\n"
         "\"SOCKS_Server\"=\"\"\r\n"
         "\"SOCKS_ServerPort\"=dword:00000000\r\n";
}

}  // namespace norvax
