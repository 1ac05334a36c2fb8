#include "platform/store/proxy_files.h"

#include <algorithm>
#include <cctype>
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

// The line end a file uses: that of its first line (LF when it has none).
std::string_view LineEnd(std::string_view text) {
  const auto end = text.find_first_of("\r\n");
  if (end == std::string_view::npos) return "\n";
  if (text[end] == '\n') return "\n";
  return text.substr(end + 1, 1) == "\n" ? "\r\n" : "\r";
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
