#include "platform/store/proxy_files.h"

#include <algorithm>
#include <cctype>
#include <variant>
#include <vector>

#include "platform/cp932.h"

namespace norvax {
namespace {

namespace fs = std::filesystem;

// text without the blanks (as KConfig counts them) around it.
std::string Trimmed(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\v\f";
  const auto start = text.find_first_not_of(kBlanks);
  if (start == std::string_view::npos) return "";
  return std::string(text.substr(start, text.find_last_not_of(kBlanks) - start + 1));
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
void InsertLine(std::vector<Line>& lines, std::size_t index, std::string text,
                std::string_view end) {
  if (index > 0 && lines[index - 1].end.empty()) lines[index - 1].end = end;
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(index),
               Line{std::move(text), std::string(end)});
}

// The line end a file uses: CR LF when its first line ends so, else LF.
std::string_view LineEnd(std::string_view text) {
  const auto end = text.find('\n');
  return end != std::string_view::npos && end > 0 && text[end - 1] == '\r' ? "\r\n" : "\n";
}

// A string in user.js notation: in double quotes, with escapes where needed.
std::string JsString(std::string_view utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    switch (c) {
      case '\\':
      case '"':
        out += {'\\', c};
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out + '"';
}

// user.js read as Firefox's preference parser reads it: tokens, comments (#, //, /* */) and
// white space between them; a NUL byte ends the file.
struct JsToken {
  enum Kind { Punct, Word, String, Number, Error, End } kind;
  std::size_t begin, end;
  std::string text;  // the word, the string's value (UTF-8), the digits
};

class JsLexer {
 public:
  explicit JsLexer(std::string_view text) : text_(text.substr(0, text.find('\0'))) {}

  JsToken Next() {
    while (i_ < text_.size()) {
      const std::size_t begin = i_;
      const char c = text_[i_++];
      if (c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\n' || c == '\r') continue;
      if (c == '#' || (c == '/' && At('/'))) {
        i_ = std::min(text_.find_first_of("\r\n", i_), text_.size());
        continue;
      }
      if (c == '/' && At('*')) {
        const auto close = text_.find("*/", i_);
        if (close == std::string_view::npos) return Token(JsToken::Error, begin, text_.size());
        i_ = close + 2;
        continue;
      }
      if (c == '/') {
        // A lone "/" is an error that takes the character after it along, but a line end.
        if (i_ < text_.size() && text_[i_] != '\n' && text_[i_] != '\r') ++i_;
        return Token(JsToken::Error, begin, i_);
      }
      if (std::string_view("(),;+-").find(c) != std::string_view::npos) {
        return Token(JsToken::Punct, begin, i_);
      }
      if (IsWordChar(c)) {
        while (i_ < text_.size() && IsWordChar(text_[i_])) ++i_;
        return Token(JsToken::Word, begin, i_);
      }
      if (c >= '0' && c <= '9') {
        while (i_ < text_.size() && text_[i_] >= '0' && text_[i_] <= '9') ++i_;
        // "123foo" is no number.
        const bool word = i_ < text_.size() && IsWordChar(text_[i_]);
        return Token(word ? JsToken::Error : JsToken::Number, begin, i_);
      }
      if (c == '"' || c == '\'') return StringToken(c, begin);
      return Token(JsToken::Error, begin, i_);
    }
    return Token(JsToken::End, text_.size(), text_.size());
  }

 private:
  static bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
  }
  bool At(char c) {
    if (i_ >= text_.size() || text_[i_] != c) return false;
    ++i_;
    return true;
  }
  JsToken Token(JsToken::Kind kind, std::size_t begin, std::size_t end) {
    return {kind, begin, end, std::string(text_.substr(begin, end - begin))};
  }
  // Up to digits hex digits; nothing when fewer are there.
  std::optional<unsigned> Hex(int digits) {
    unsigned value = 0;
    for (int n = 0; n < digits; ++n) {
      const char c = i_ < text_.size() ? text_[i_] : '\0';
      if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
      value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
      ++i_;
    }
    return value;
  }
  static void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | code >> 6);
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | code >> 12);
      out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | code >> 18);
      out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  // A string literal up to its closing quote; an Error token when an escape is bad or the
  // quote never comes.
  JsToken StringToken(char quote, std::size_t begin) {
    std::string value;
    bool bad = false;
    while (true) {
      if (i_ >= text_.size()) return Token(JsToken::Error, begin, i_);
      const char c = text_[i_++];
      if (c == quote) break;
      if (c != '\\') {
        value += c;
        continue;
      }
      const char e = i_ < text_.size() ? text_[i_] : '\0';
      if (e == '\n' || e == '\r' || e == '\0') {
        bad = true;  // the line end stays part of the string
        continue;
      }
      ++i_;
      if (e == '"' || e == '\'' || e == '\\') {
        value += e;
      } else if (e == 'n' || e == 'r') {
        value += e == 'n' ? '\n' : '\r';
      } else if (e == 'x') {
        const auto byte = Hex(2);
        bad = bad || !byte || *byte == 0;
        if (byte) value += static_cast<char>(*byte);
      } else if (e == 'u') {
        auto code = Hex(4);
        if (code && (*code & 0xFC00) == 0xD800) {
          const auto high = *code;
          code = At('\\') && At('u') ? Hex(4) : std::nullopt;
          code = code && (*code & 0xFC00) == 0xDC00
                     ? std::optional(0x10000 + ((high - 0xD800) << 10) + (*code - 0xDC00))
                     : std::nullopt;
        } else if (code && ((*code & 0xFC00) == 0xDC00 || *code == 0)) {
          code.reset();
        }
        bad = bad || !code;
        if (code) AppendUtf8(value, *code);
      } else {
        bad = true;
      }
    }
    JsToken token = Token(bad ? JsToken::Error : JsToken::String, begin, i_);
    token.text = value;
    return token;
  }

  std::string_view text_;
  std::size_t i_ = 0;
};

// A user_pref statement Firefox reads: its tokens, its name and its value (in user.js
// notation, as JsString writes strings) with the bytes that hold it.
struct UserPrefStatement {
  std::size_t firstToken, lastToken;
  std::string name;
  std::string value;
  std::size_t valueBegin, valueEnd;
};

struct ParsedUserJs {
  std::vector<JsToken> tokens;  // the last one is End
  std::vector<UserPrefStatement> prefs;
};

// The statements as Firefox's parser takes them: a statement it cannot read is skipped up
// to the next ";". Statements other than user_pref (pref, sticky_pref, lockPref) set no
// value of the user's and are read only to be skipped.
ParsedUserJs ParseUserJs(std::string_view text) {
  ParsedUserJs out;
  JsLexer lexer(text);
  do {
    out.tokens.push_back(lexer.Next());
  } while (out.tokens.back().kind != JsToken::End);
  const auto& tokens = out.tokens;
  auto is = [&](std::size_t i, std::string_view punct) {
    return tokens[i].kind == JsToken::Punct && tokens[i].text == punct;
  };
  std::size_t i = 0;
  while (tokens[i].kind != JsToken::End) {
    const std::size_t first = i;
    const std::string& spec = tokens[i].text;
    bool ok =
        tokens[i].kind == JsToken::Word &&
        (spec == "user_pref" || spec == "pref" || spec == "sticky_pref" || spec == "lockPref") &&
        is(++i, "(") && tokens[++i].kind == JsToken::String && is(++i, ",");
    UserPrefStatement pref{first, 0, ok ? tokens[i - 1].text : "", "", 0, 0};
    if (ok) {
      pref.valueBegin = tokens[++i].begin;
      const JsToken& value = tokens[i];
      if (value.kind == JsToken::Word && (value.text == "true" || value.text == "false")) {
        pref.value = value.text;
      } else if (value.kind == JsToken::String) {
        pref.value = JsString(value.text);
      } else {
        const bool minus = is(i, "-");
        if (minus || is(i, "+")) ++i;
        // Up to 2^31 - 1, or 2^31 with a minus.
        const long long limit = minus ? 2147483648 : 2147483647;
        long long number = 0;
        ok = tokens[i].kind == JsToken::Number;
        for (char digit : ok ? tokens[i].text : "") {
          number = std::min(number * 10 + (digit - '0'), limit + 1);
        }
        ok = ok && number <= limit;
        pref.value = std::to_string(minus ? -number : number);
      }
      pref.valueEnd = tokens[i].end;
      ok = ok && is(++i, ")") && is(++i, ";");
    }
    if (!ok) {
      while (tokens[i].kind != JsToken::End && !is(i, ";")) ++i;
      if (is(i, ";")) ++i;
      continue;
    }
    pref.lastToken = i++;
    if (spec == "user_pref") out.prefs.push_back(std::move(pref));
  }
  return out;
}

// The last user_pref of name in parsed (the one Firefox keeps).
const UserPrefStatement* LastUserPref(const ParsedUserJs& parsed, std::string_view name) {
  const UserPrefStatement* found = nullptr;
  for (const auto& pref : parsed.prefs) {
    if (pref.name == name) found = &pref;
  }
  return found;
}

// The index of the line that holds offset; a line ends with LF, CR LF or CR.
std::size_t LineOf(std::string_view text, std::size_t offset) {
  std::size_t line = 0;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
      ++line;
    }
  }
  return line;
}

// Whether the statement's line holds it whole and nothing else but comments and blanks.
bool AloneOnItsLine(std::string_view text, const ParsedUserJs& parsed,
                    const UserPrefStatement& pref) {
  const auto& tokens = parsed.tokens;
  const std::size_t line = LineOf(text, tokens[pref.firstToken].begin);
  if (LineOf(text, tokens[pref.lastToken].end - 1) != line) return false;
  if (pref.firstToken > 0 && LineOf(text, tokens[pref.firstToken - 1].end - 1) == line) {
    return false;
  }
  const JsToken& next = tokens[pref.lastToken + 1];
  return next.kind == JsToken::End || LineOf(text, next.begin) != line;
}

// A kioslaverc line as KConfig reads it, as far as the group [Proxy Settings] goes.
struct KdeLine {
  bool inGroup = false;              // the group's header, or a line of one of its blocks
  std::optional<std::string> key;    // an entry of the group (not a localised one)
  std::optional<std::string> value;  // its value; nothing for a deleted entry ([$d])
  // The line that locks the entry, the group or the file ([$i]); empty when none does.
  std::string lockedBy;
};

// KConfig's group header: its names, and whether it locks the group or (a header of [$i]
// alone) the file; nothing for a line KConfig does not take as a header.
struct KdeHeader {
  std::vector<std::string> names;
  bool locked = false;
};
std::optional<KdeHeader> ParseKdeHeader(std::string_view line) {
  KdeHeader header;
  std::size_t start = 1;
  while (true) {
    const auto end = line.find(']', start);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view name = line.substr(start, end - start);
    if (end + 1 == line.size() && name == "$i") {
      header.locked = true;
    } else {
      header.names.emplace_back(name);
    }
    start = end + 2;
    if (start > line.size() || line[end + 1] != '[') return header;
  }
}

// Reads an entry line of the group into line: key[$flags]=value, key[$d]; a localised or
// broken entry is none.
void ParseKdeEntry(const std::string& text, KdeLine& line, const std::string& groupLock) {
  const auto equals = text.find('=');
  std::string key = Trimmed(text.substr(0, equals));
  bool locked = false, deleted = false;
  for (auto open = key.rfind('['); open != std::string::npos && !deleted; open = key.rfind('[')) {
    const auto close = key.find(']', open);
    if (close == std::string::npos || close == open + 1 || key[open + 1] != '$') return;
    for (std::size_t i = open + 2; i < close && !deleted; ++i) {
      locked = locked || key[i] == 'i';
      deleted = key[i] == 'd';
    }
    key.resize(open);
  }
  if (key.empty() || (equals == std::string::npos && !deleted)) return;
  line.key = key;
  if (!deleted) line.value = Trimmed(text.substr(equals + 1));
  line.lockedBy = locked ? text : groupLock;
}

std::vector<KdeLine> ScanKioslaverc(const std::vector<Line>& lines) {
  std::vector<KdeLine> out;
  bool inGroup = false;
  std::string fileLock, groupLock;
  for (const Line& l : lines) {
    KdeLine line;
    const std::string text = Trimmed(l.text);
    auto header = text.starts_with('[') ? ParseKdeHeader(text) : std::nullopt;
    if (header && header->names.empty()) {
      // [$i] alone: every group after it is locked.
      fileLock = text;
      line.lockedBy = text;
      inGroup = false;
    } else if (header) {
      inGroup = header->names == std::vector<std::string>{"Proxy Settings"};
      groupLock = header->locked ? text : fileLock;
      if (inGroup) line.lockedBy = groupLock;
    } else if (inGroup && !text.empty() && !text.starts_with('#') && !text.starts_with('[')) {
      ParseKdeEntry(text, line, groupLock);
    }
    line.inGroup = inGroup;
    out.push_back(line);
  }
  return out;
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
  if (const std::string* s = std::get_if<std::string>(&value)) return JsString(Cp932ToUtf8(*s));
  return std::nullopt;
}

std::optional<std::string> UserPrefValue(std::string_view text, std::string_view name) {
  const ParsedUserJs parsed = ParseUserJs(text);
  if (const UserPrefStatement* pref = LastUserPref(parsed, name)) return pref->value;
  return std::nullopt;
}

std::optional<std::string> SetUserPref(std::string_view text, std::string_view name,
                                       std::string_view literal) {
  const ParsedUserJs parsed = ParseUserJs(text);
  std::string out(text);
  const UserPrefStatement* pref = LastUserPref(parsed, name);
  if (pref && pref->value == literal) return out;
  if (pref && AloneOnItsLine(text, parsed, *pref)) {
    out.replace(pref->valueBegin, pref->valueEnd - pref->valueBegin, literal);
  } else {
    const std::string_view end = LineEnd(text);
    if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += end;
    out += "user_pref(" + JsString(name) + ", " + std::string(literal) + ");" + std::string(end);
  }
  // The new line may be swallowed by what comes before it (a comment left open, say).
  if (UserPrefValue(out, name) != literal) return std::nullopt;
  return out;
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

KdeProxyEntry ReadKdeProxyEntry(const std::vector<KdeConfigFile>& files, std::string_view key) {
  KdeProxyEntry entry;
  for (const KdeConfigFile& file : files) {
    std::string lockedBy;  // the group, from here on
    for (const KdeLine& line : ScanKioslaverc(SplitLines(file.text))) {
      if (line.key == key) {
        entry.value = line.value;
        if (!line.lockedBy.empty()) lockedBy = line.lockedBy;
        // A locked entry takes no later value.
        if (!lockedBy.empty()) break;
      } else if (!line.key && !line.lockedBy.empty() && lockedBy.empty()) {
        lockedBy = line.lockedBy;
      }
    }
    if (!lockedBy.empty()) {
      entry.lockedIn = file.name;
      entry.lockedBy = lockedBy;
      break;
    }
  }
  return entry;
}

std::string SetKdeProxyValue(std::string_view text, std::string_view key, std::string_view value) {
  auto lines = SplitLines(text);
  const auto scanned = ScanKioslaverc(lines);
  const std::string line = std::string(key) + "=" + std::string(value);
  const std::string_view end = LineEnd(text);
  std::optional<std::size_t> entry, groupEnd;
  for (std::size_t i = 0; i < scanned.size(); ++i) {
    if (scanned[i].key == key) entry = i;
    if (scanned[i].inGroup && !Trimmed(lines[i].text).empty()) groupEnd = i + 1;
  }
  if (entry) {
    lines[*entry].text = line;
  } else if (groupEnd) {
    InsertLine(lines, *groupEnd, line, end);
  } else {
    if (!lines.empty() && !Trimmed(lines.back().text).empty()) {
      InsertLine(lines, lines.size(), "", end);
    }
    InsertLine(lines, lines.size(), "[Proxy Settings]", end);
    InsertLine(lines, lines.size(), line, end);
  }
  return JoinLines(lines);
}

}  // namespace norvax
