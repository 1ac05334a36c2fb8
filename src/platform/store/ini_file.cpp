#include "platform/store/ini_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/posix/atomic_replace.h"

namespace norvax {
namespace {

constexpr std::string_view kNewline = "\r\n";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A value as the profile functions read it: blanks around it dropped, then one pair of
// enclosing double quotes removed.
std::string_view UnquoteValue(std::string_view raw) {
  auto v = Trim(raw);
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return v;
}

// A value as it must be written to read back exactly: quoted when the reader would
// otherwise drop its blanks or its enclosing quotes.
std::string QuoteValue(std::string_view value) {
  bool blankEdge = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
  bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
  if (blankEdge || quoted) return "\"" + std::string(value) + "\"";
  return std::string(value);
}

// One line of the file, split into what the reader needs.
struct Line {
  std::string_view text;
  bool isSection = false;
  std::string_view name;  // section name, or key of a "key=value" line
  bool isValue = false;
  std::string_view value;
};

// Calls visit with each line of text (without its line end), split.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
  size_t pos = 0;
  while (pos < text.size()) {
    auto end = std::min(text.find('\n', pos), text.size());
    Line line;
    line.text = text.substr(pos, end - pos);
    if (!line.text.empty() && line.text.back() == '\r') line.text.remove_suffix(1);
    auto trimmed = Trim(line.text);
    if (!trimmed.empty() && trimmed.front() == '[') {
      auto close = trimmed.find(']');
      line.isSection = true;
      line.name = Trim(
          trimmed.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    } else if (auto eq = line.text.find('='); eq != std::string_view::npos) {
      line.isValue = true;
      line.name = Trim(line.text.substr(0, eq));
      line.value = UnquoteValue(line.text.substr(eq + 1));
    }
    visit(line);
    pos = end + 1;
  }
}

std::vector<Line> SplitLines(std::string_view contents) {
  std::vector<Line> lines;
  ForEachLine(contents, [&lines](const Line& line) { lines.push_back(line); });
  return lines;
}

// A section of the file: its name and the text of its lines, from the end of its header up
// to the next header.
struct IndexedSection {
  std::string_view name;
  std::string_view body;
};

std::vector<IndexedSection> IndexSections(std::string_view contents) {
  std::vector<IndexedSection> sections;
  const char* bodyBegin = nullptr;
  ForEachLine(contents, [&](const Line& line) {
    if (!line.isSection) return;
    if (!sections.empty()) sections.back().body = {bodyBegin, line.text.data()};
    sections.push_back({line.name, {}});
    bodyBegin = line.text.data() + line.text.size();
  });
  if (!sections.empty()) sections.back().body = {bodyBegin, contents.data() + contents.size()};
  return sections;
}

// End of the section whose header is at begin: before the blank lines that separate it
// from the next section.
size_t SectionEnd(const std::vector<Line>& lines, size_t begin) {
  size_t end = begin + 1;
  while (end < lines.size() && !lines[end].isSection) ++end;
  while (end > begin + 1 && Trim(lines[end - 1].text).empty()) --end;
  return end;
}

// Index range [begin, end) of the first section of that name, header included; begin is
// npos when the section is missing.
std::pair<size_t, size_t> FindSection(const std::vector<Line>& lines, std::string_view section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].isSection || !SameProfileName(lines[i].name, section)) continue;
    return {i, SectionEnd(lines, i)};
  }
  return {std::string_view::npos, 0};
}

// A key or value that would not read back as one line of its own.
bool Unwritable(const KeyValues& values) {
  return std::any_of(values.begin(), values.end(), [](const auto& kv) {
    return kv.first.find_first_of("\r\n=") != std::string::npos ||
           kv.second.find_first_of("\r\n") != std::string::npos;
  });
}

// What the stream holds from here to its end; size is what it held when looked at (a file
// that has grown since is read to its end all the same).
std::string ReadToEnd(std::ifstream& in, size_t size) {
  std::string contents(size, '\0');
  in.read(contents.data(), static_cast<std::streamsize>(size));
  contents.resize(static_cast<size_t>(in.gcount()));
  if (in && in.peek() != std::ifstream::traits_type::eof()) {
    std::ostringstream rest;
    rest << in.rdbuf();
    contents += rest.str();
  }
  return contents;
}

std::string SectionText(std::string_view section, const KeyValues& values) {
  std::string out = "[" + std::string(section) + "]";
  out.append(kNewline);
  for (auto& [key, value] : values) {
    out.append(key).append("=").append(QuoteValue(value)).append(kNewline);
  }
  return out;
}

}  // namespace

// The file as last read, with where its sections are and what identifies that version on
// disk. Every change of ours replaces the file by a new one, so a changed file never keeps its
// identity.
struct IniFile::Snapshot {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  std::string contents;
  std::vector<IndexedSection> sections;  // in file order, viewing contents

  bool Matches(const struct stat& st) const {
    return exists && st.st_dev == device && st.st_ino == inode && st.st_size == size &&
           st.st_mtim.tv_sec == modified.tv_sec && st.st_mtim.tv_nsec == modified.tv_nsec;
  }
};

IniFile::IniFile(std::string path) : path_(std::move(path)) {}
IniFile::~IniFile() = default;

std::shared_ptr<const IniFile::Snapshot> IniFile::Current() const {
  struct stat st {};
  if (stat(path_.c_str(), &st) != 0) {
    if (errno != ENOENT) throw ReadError(path_, std::strerror(errno));
    return std::make_shared<Snapshot>();
  }
  if (snapshot_ && snapshot_->Matches(st)) return snapshot_;
  std::ifstream in(path_, std::ios::binary);
  if (!in) throw ReadError(path_, std::strerror(errno));
  auto snapshot = std::make_shared<Snapshot>();
  snapshot->contents = ReadToEnd(in, static_cast<size_t>(st.st_size));
  snapshot->sections = IndexSections(snapshot->contents);
  snapshot->exists = true;
  snapshot->device = st.st_dev;
  snapshot->inode = st.st_ino;
  snapshot->size = st.st_size;
  snapshot->modified = st.st_mtim;
  // The file may have changed while it was read: keep it only if it still is that version.
  struct stat after {};
  if (stat(path_.c_str(), &after) == 0 && snapshot->Matches(after)) snapshot_ = snapshot;
  return snapshot;
}

std::string IniFile::Load() const { return Current()->contents; }

KeyValues IniFile::ReadSection(std::string_view section) const {
  auto snapshot = Current();
  KeyValues values;
  // The first section of the name counts.
  for (const auto& [name, body] : snapshot->sections) {
    if (!SameProfileName(name, section)) continue;
    ForEachLine(body, [&values](const Line& line) {
      if (line.isValue) values.emplace_back(line.name, line.value);
    });
    break;
  }
  return values;
}

void IniFile::WriteSections(const Sections& sections) {
  for (const auto& [section, values] : sections) {
    if (Unwritable(values)) throw WriteError(path_);
  }
  // A file that cannot be read cannot be changed without losing what it holds.
  std::shared_ptr<const Snapshot> snapshot;
  try {
    snapshot = Current();
  } catch (const ReadError&) {
    throw WriteError(path_);
  }
  const auto lines = SplitLines(snapshot->contents);
  // Where each section is now; the new text goes there, or after the end when missing.
  std::vector<std::pair<size_t, size_t>> ranges;
  bool changes = false;
  for (const auto& [section, values] : sections) {
    ranges.push_back(FindSection(lines, section));
    changes = changes || !values.empty() || ranges.back().first != std::string_view::npos;
  }
  if (!changes) return;
  std::string out;
  out.reserve(snapshot->contents.size());
  bool lastBlank = true;  // no blank line is needed before the first line
  auto emitLine = [&](std::string_view text) {
    out.append(text).append(kNewline);
    lastBlank = Trim(text).empty();
  };
  for (size_t i = 0; i < lines.size();) {
    auto k = std::find_if(sections.begin(), sections.end(), [&](auto& s) {
      return lines[i].isSection && SameProfileName(lines[i].name, s.first);
    });
    if (k == sections.end()) {
      emitLine(lines[i++].text);
      continue;
    }
    // A later section of the same name goes as well: the reader never sees it, and erasing
    // the first must not bring it to light.
    const bool first = ranges[static_cast<size_t>(k - sections.begin())].first == i;
    i = SectionEnd(lines, i);
    if (k->second.empty() || !first) {
      // Drop the blank lines after a dropped section too, so it leaves no gap.
      while (i < lines.size() && Trim(lines[i].text).empty()) ++i;
      continue;
    }
    out.append(SectionText(k->first, k->second));
    lastBlank = false;
  }
  for (size_t k = 0; k < sections.size(); ++k) {
    if (ranges[k].first != std::string_view::npos || sections[k].second.empty()) continue;
    if (!lastBlank) out.append(kNewline);
    out.append(SectionText(sections[k].first, sections[k].second));
    lastBlank = false;
  }
  Replace(path_, out);
}

std::string IniFile::SaveCopy(std::string_view suffix) const {
  std::string copy = path_ + std::string(suffix);
  for (int n = 2; std::filesystem::exists(copy); ++n) {
    copy = path_ + std::string(suffix) + "-" + std::to_string(n);
  }
  Replace(copy, Load());
  return copy;
}

void IniFile::Replace(const std::string& path, const std::string& contents) const {
  ReplaceFileAtomically(path, contents, beforeReplace_);
}

void ReplaceFileAtomically(const std::string& path, const std::string& contents,
                           const std::function<void()>& beforeReplace) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 &&
      (!(st.st_mode & S_IWUSR) || access(path.c_str(), W_OK) != 0)) {
    throw WriteError(path);
  }
  try {
    ReplaceInOneStep(path, contents, beforeReplace);
  } catch (const FileError&) {
    throw WriteError(path);
  }
}

}  // namespace norvax
