#include "platform/sim/sim_phonebook.h"

#include <algorithm>
#include <charconv>
#include <sstream>

#include "platform/cp932.h"
#include "platform/profile_file.h"
#include "platform/store/ini_file.h"

namespace norvax {

namespace {

constexpr const char* kListSection = "Connections";
constexpr const char* kEntryPrefix = "Connection:";
constexpr int kMaxAttempts = 99;

std::optional<int> ParseNonNegative(const std::string& word) {
  int value = 0;
  auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (ec != std::errc() || end != word.data() + word.size() || value < 0) return std::nullopt;
  return value;
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

}  // namespace

const DialStepScript& PhonebookEntry::Attempt(int n) const {
  const std::size_t i = n < 1 ? 0 : static_cast<std::size_t>(n - 1);
  return attempts.at(i < attempts.size() ? i : attempts.size() - 1);
}

const PhonebookEntry* Phonebook::Find(const std::string& name) const {
  for (const auto& entry : entries) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

std::optional<DialStepScript> ParseDialStep(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  if (words.empty()) return std::nullopt;
  DialStepScript step;
  const std::string kind = Lower(words[0]);
  std::size_t delayAt = 1;
  if (kind == "busy") {
    step.outcome = DialOutcome::Busy;
  } else if (kind == "noanswer") {
    step.outcome = DialOutcome::NoAnswer;
  } else if (kind == "badpassword") {
    step.outcome = DialOutcome::BadPassword;
  } else if (kind == "connect") {
    step.outcome = DialOutcome::Connect;
  } else if (kind == "error") {
    step.outcome = DialOutcome::Error;
    if (words.size() < 2) return std::nullopt;
    auto code = ParseNonNegative(words[1]);
    if (!code || *code == 0) return std::nullopt;
    step.errorCode = *code;
    delayAt = 2;
  } else {
    return std::nullopt;
  }
  if (words.size() != delayAt + 1) return std::nullopt;
  auto delay = ParseNonNegative(words[delayAt]);
  if (!delay) return std::nullopt;
  step.delayMs = *delay;
  return step;
}

PhonebookEncoding PhonebookEncodingOf(std::string_view contents) {
  bool ascii = std::all_of(contents.begin(), contents.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  return !ascii && IsUtf8(contents) ? PhonebookEncoding::kUtf8 : PhonebookEncoding::kCp932;
}

Phonebook ReadPhonebook(const ProfileFile& file, PhonebookEncoding encoding) {
  const bool utf8 = encoding == PhonebookEncoding::kUtf8;
  // Text of the file as the program holds it (CP932), and as messages show it (UTF-8).
  auto held = [utf8](const std::string& raw) -> std::optional<std::string> {
    return utf8 ? Utf8ToCp932(raw) : std::optional<std::string>(raw);
  };
  auto shownText = [utf8](const std::string& raw) { return utf8 ? raw : Cp932ToUtf8(raw); };
  Phonebook book;
  for (const auto& [key, rawName] : file.ReadSection(kListSection)) {
    const std::string shown = shownText(rawName);
    if (rawName.empty()) {
      book.problems.push_back(std::string(kListSection) + " " + shownText(key) +
                              ": empty connection name");
      continue;
    }
    const auto name = held(rawName);
    if (!name) {
      book.problems.push_back(shown + ": no Shift-JIS (CP932) form");
      continue;
    }
    if (book.Find(*name) != nullptr) {
      book.problems.push_back(shown + ": listed twice");
      continue;
    }
    const std::string section = kEntryPrefix + rawName;
    const KeyValues values = file.ReadSection(section);
    if (values.empty()) {
      book.problems.push_back(shown + ": section [" + shownText(section) + "] missing");
      continue;
    }
    PhonebookEntry entry;
    entry.name = *name;
    bool ok = true;
    auto read = [&](const char* key, std::string& into) {
      auto value = held(file.ReadString(section, key, ""));
      if (!value) {
        book.problems.push_back(shown + ": " + key + " has no Shift-JIS (CP932) form");
        ok = false;
        return false;
      }
      into = *value;
      return true;
    };
    if (read("Phone", entry.phone) && entry.phone.empty()) {
      book.problems.push_back(shown + ": Phone missing");
      ok = false;
    }
    read("User", entry.user);
    read("Password", entry.password);
    for (int n = 1; n <= kMaxAttempts; ++n) {
      const std::string key = "Attempt" + std::to_string(n);
      auto text = file.ReadValue(section, key);
      if (!text) break;
      auto step = ParseDialStep(*text);
      if (!step) {
        book.problems.push_back(shown + ": " + key + " \"" + shownText(*text) +
                                "\" is not \"busy|noanswer|badpassword|connect <ms>\" or "
                                "\"error <code> <ms>\"");
        ok = false;
        break;
      }
      entry.attempts.push_back(*step);
    }
    if (ok && entry.attempts.empty()) {
      book.problems.push_back(shown + ": no Attempt1");
      ok = false;
    }
    if (ok) book.entries.push_back(std::move(entry));
  }
  return book;
}

Phonebook ReadPhonebookFile(const std::string& path) {
  IniFile file(path);
  return ReadPhonebook(file, PhonebookEncodingOf(file.Load()));
}

}  // namespace norvax
