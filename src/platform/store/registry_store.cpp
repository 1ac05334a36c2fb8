#include "platform/store/registry_store.h"

#include <algorithm>
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

// The store as its lines, each kept byte for byte with its line end: a write changes or adds
// one value line and leaves every other line (comments, lines it does not understand,
// values of other roots) exactly as it was.
struct Line {
  std::string text;
  std::string end;  // "\r\n", "\n", or nothing at the end of the file
};

struct Value {
  std::size_t line;
  std::string name;
  RegistryValue value;
};

struct Key {
  std::string path;        // below the root, without a leading "\"; whole name for another root
  bool otherRoot = false;  // out of reach of the program
  std::size_t header;      // the line of "[...]"
  std::vector<Value> values;
};

struct Store {
  std::vector<Line> lines;
  std::vector<Key> keys;
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

Store Parse(const std::string& text) {
  Store store;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t next = text.find('\n', pos);
    Line line{text.substr(pos, next == std::string::npos ? std::string::npos : next - pos), ""};
    if (next != std::string::npos) line.end = "\n";
    if (!line.text.empty() && line.text.back() == '\r') {
      line.text.pop_back();
      line.end.insert(0, "\r");
    }
    pos = next == std::string::npos ? text.size() : next + 1;
    store.lines.push_back(std::move(line));
  }
  std::vector<Key>& keys = store.keys;
  for (std::size_t i = 0; i < store.lines.size(); ++i) {
    const std::string& line = store.lines[i].text;
    if (line.empty() || line == kHeader || line.front() == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      std::string_view path = std::string_view(line).substr(1, line.size() - 2);
      if (Cp932UpperAscii(path.substr(0, kRoot.size())) != kRoot) {
        keys.push_back({std::string(path), true, i, {}});
        continue;
      }
      keys.push_back({NormaliseKey(path.substr(kRoot.size())), false, i, {}});
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
      keys.back().values.push_back({i, name, *value});
    }
  }
  return store;
}

std::string Text(const Store& store) {
  std::string out;
  for (const auto& line : store.lines) out += line.text + line.end;
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
  auto store = Parse(Load(path_));
  return FindKey(store.keys, key) != nullptr;
}

std::optional<RegistryValue> RegistryStore::Read(const std::string& key, const std::string& name) {
  auto store = Parse(Load(path_));
  Key* k = FindKey(store.keys, key);
  if (!k) return std::nullopt;
  for (const auto& v : k->values) {
    if (SameProfileName(v.name, name)) return v.value;
  }
  return std::nullopt;
}

bool RegistryStore::Write(const std::string& key, const std::string& name,
                          const RegistryValue& value) {
  auto store = Parse(Load(path_));
  Key* k = FindKey(store.keys, key);
  if (!k) return false;
  const std::string text =
      (name.empty() ? std::string("@") : Quote(name)) + "=" + FormatData(value);
  auto same = [&](const Value& v) { return SameProfileName(v.name, name); };
  if (auto v = std::find_if(k->values.begin(), k->values.end(), same); v != k->values.end()) {
    store.lines[v->line].text = text;
  } else {
    // After the key's last value, or its header when it has none.
    const std::size_t after = k->values.empty() ? k->header : k->values.back().line;
    // The line before ends with a line break (a file may end without one, or in a lone CR).
    std::string& before = store.lines[after].end;
    if (before.empty() || before.back() != '\n') before = "\r\n";
    const std::string end = store.lines[after].end;
    store.lines.insert(store.lines.begin() + static_cast<std::ptrdiff_t>(after) + 1,
                       Line{text, end});
  }
  try {
    ReplaceFileAtomically(path_, Text(store));
  } catch (const WriteError&) {
    return false;
  }
  return true;
}

std::string FreshRegistryText() {
  return "REGEDIT4\r\n"
         "\r\n[HKEY_CURRENT_USER\\RemoteAccess]\r\n"
         "\"InternetProfile\"=\"\"\r\n";
}

}  // namespace norvax
