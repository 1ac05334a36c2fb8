#include "platform/store/proxy_files.h"

#include <variant>
#include <vector>

#include "platform/cp932.h"

namespace norvax {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kKdeGroup = "[Proxy Settings]";

std::string Trimmed(std::string_view text) {
  const auto start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return "";
  return std::string(text.substr(start, text.find_last_not_of(" \t") - start + 1));
}

// text with a backslash put before every byte of specials.
std::string Escaped(std::string_view text, std::string_view specials) {
  std::string out;
  for (char c : text) {
    if (specials.find(c) != std::string_view::npos) out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

// A file as its lines, each with its own line end, so that a change of some lines leaves
// every other byte as it was.
struct Line {
  std::string text;
  std::string end;
};

std::vector<Line> SplitLines(std::string_view data) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < data.size()) {
    std::size_t end = data.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back({std::string(data.substr(start)), ""});
      break;
    }
    std::size_t textEnd = end > start && data[end - 1] == '\r' ? end - 1 : end;
    lines.push_back({std::string(data.substr(start, textEnd - start)),
                     std::string(data.substr(textEnd, end + 1 - textEnd))});
    start = end + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<Line>& lines) {
  std::string out;
  for (const Line& line : lines) out += line.text + line.end;
  return out;
}

// Adds a line at index, ending the line before it first when it had no line end.
void InsertLine(std::vector<Line>& lines, std::size_t index, std::string text) {
  if (index > 0 && lines[index - 1].end.empty()) lines[index - 1].end = "\n";
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(index), Line{std::move(text), "\n"});
}

// The preference a user.js line sets, and the text of its value; nothing for other lines.
std::optional<std::pair<std::string, std::string>> UserPref(const std::string& line) {
  std::string text = Trimmed(line);
  constexpr std::string_view kStart = "user_pref(";
  if (!text.starts_with(kStart) || !text.ends_with(");")) return std::nullopt;
  text = Trimmed(text.substr(kStart.size(), text.size() - kStart.size() - 2));
  if (!text.starts_with('"')) return std::nullopt;
  const auto close = text.find('"', 1);
  if (close == std::string::npos) return std::nullopt;
  const std::string rest = Trimmed(text.substr(close + 1));
  if (!rest.starts_with(',')) return std::nullopt;
  return std::pair(text.substr(1, close - 1), Trimmed(rest.substr(1)));
}

// The last line that sets the preference (the one Firefox keeps).
std::optional<std::size_t> FindUserPref(const std::vector<Line>& lines, std::string_view name) {
  std::optional<std::size_t> found;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto pref = UserPref(lines[i].text);
    if (pref && pref->first == name) found = i;
  }
  return found;
}

// The line of key in the proxy group, or the line to add it at; false when missing.
bool FindKdeKey(const std::vector<Line>& lines, std::string_view key, std::size_t& index) {
  bool inGroup = false;
  std::optional<std::size_t> groupEnd;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string text = Trimmed(lines[i].text);
    if (text.starts_with('[')) {
      if (inGroup) break;
      inGroup = text == kKdeGroup;
      if (inGroup) groupEnd = i + 1;
      continue;
    }
    if (!inGroup) continue;
    if (!text.empty()) groupEnd = i + 1;
    const auto equals = text.find('=');
    if (equals != std::string::npos && Trimmed(text.substr(0, equals)) == key) {
      index = i;
      return true;
    }
  }
  index = groupEnd.value_or(lines.size());
  return false;
}

}  // namespace

std::optional<fs::path> DefaultFirefoxProfile(const std::string& profilesIni,
                                              const fs::path& folder) {
  std::optional<std::string> installDefault, profileDefault;
  std::string section, path;
  bool isDefault = false;
  auto endSection = [&] {
    if (section.starts_with("Profile") && isDefault && !profileDefault) profileDefault = path;
    path.clear();
    isDefault = false;
  };
  for (const Line& line : SplitLines(profilesIni)) {
    const std::string text = Trimmed(line.text);
    if (text.starts_with('[') && text.ends_with(']')) {
      endSection();
      section = text.substr(1, text.size() - 2);
      continue;
    }
    const auto equals = text.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = Trimmed(text.substr(0, equals));
    const std::string value = Trimmed(text.substr(equals + 1));
    if (section.starts_with("Install") && key == "Default" && !installDefault) {
      installDefault = value;
    }
    if (key == "Path") path = value;
    if (key == "Default" && value == "1") isDefault = true;
  }
  endSection();
  const auto chosen = installDefault ? installDefault : profileDefault;
  if (!chosen || chosen->empty()) return std::nullopt;
  return folder / *chosen;  // an absolute path stays as it is
}

std::optional<std::string> UserPrefLiteral(const ProxyValue& value) {
  if (const bool* b = std::get_if<bool>(&value)) return *b ? "true" : "false";
  if (const int* i = std::get_if<int>(&value)) return std::to_string(*i);
  if (const std::string* s = std::get_if<std::string>(&value)) {
    return '"' + Escaped(Cp932ToUtf8(*s), "\\\"") + '"';
  }
  return std::nullopt;
}

std::optional<std::string> UserPrefValue(std::string_view text, std::string_view name) {
  const auto lines = SplitLines(text);
  if (auto i = FindUserPref(lines, name)) return UserPref(lines[*i].text)->second;
  return std::nullopt;
}

std::string SetUserPref(std::string_view text, std::string_view name, std::string_view literal) {
  auto lines = SplitLines(text);
  const std::string line =
      "user_pref(\"" + std::string(name) + "\", " + std::string(literal) + ");";
  if (auto i = FindUserPref(lines, name)) {
    lines[*i].text = line;
  } else {
    InsertLine(lines, lines.size(), line);
  }
  return JoinLines(lines);
}

std::string KioslavercValue(const ProxyValue& value) {
  std::string text;
  if (const bool* b = std::get_if<bool>(&value)) {
    text = *b ? "true" : "false";
  } else if (const int* i = std::get_if<int>(&value)) {
    text = std::to_string(*i);
  } else if (const std::string* s = std::get_if<std::string>(&value)) {
    text = Cp932ToUtf8(*s);
  } else if (const auto* list = std::get_if<std::vector<std::string>>(&value)) {
    for (const std::string& item : *list) text += (text.empty() ? "" : ",") + Cp932ToUtf8(item);
  } else if (const auto& address = std::get<ProxyAddress>(value); !address.host.empty()) {
    text = (address.kind == ProxyAddress::Kind::Socks ? "socks://" : "http://") +
           Cp932ToUtf8(address.host) + (address.port ? " " + std::to_string(*address.port) : "");
  }
  return Escaped(text, "\\");
}

std::optional<std::string> KdeProxyValue(std::string_view text, std::string_view key) {
  const auto lines = SplitLines(text);
  std::size_t i = 0;
  if (!FindKdeKey(lines, key, i)) return std::nullopt;
  return Trimmed(lines[i].text.substr(lines[i].text.find('=') + 1));
}

std::string SetKdeProxyValue(std::string_view text, std::string_view key, std::string_view value) {
  auto lines = SplitLines(text);
  const std::string line = std::string(key) + "=" + std::string(value);
  std::size_t i = 0;
  if (FindKdeKey(lines, key, i)) {
    lines[i].text = line;
    return JoinLines(lines);
  }
  bool hasGroup = false;
  for (const Line& l : lines) hasGroup = hasGroup || Trimmed(l.text) == kKdeGroup;
  if (!hasGroup) {
    if (!lines.empty() && !Trimmed(lines.back().text).empty()) InsertLine(lines, lines.size(), "");
    InsertLine(lines, lines.size(), std::string(kKdeGroup));
    i = lines.size();
  }
  InsertLine(lines, i, line);
  return JoinLines(lines);
}

}  // namespace norvax
