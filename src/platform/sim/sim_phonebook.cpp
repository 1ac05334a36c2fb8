#include "platform/sim/sim_phonebook.h"

#include <charconv>
#include <sstream>

#include "platform/cp932.h"
#include "platform/profile_file.h"

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

Phonebook ReadPhonebook(const ProfileFile& file) {
  Phonebook book;
  for (const auto& [key, name] : file.ReadSection(kListSection)) {
    const std::string shown = Cp932ToUtf8(name);
    if (name.empty()) {
      book.problems.push_back(std::string(kListSection) + " " + Cp932ToUtf8(key) +
                              ": empty connection name");
      continue;
    }
    if (book.Find(name) != nullptr) {
      book.problems.push_back(shown + ": listed twice");
      continue;
    }
    const std::string section = kEntryPrefix + name;
    const KeyValues values = file.ReadSection(section);
    if (values.empty()) {
      book.problems.push_back(shown + ": section [" + Cp932ToUtf8(section) + "] missing");
      continue;
    }
    PhonebookEntry entry;
    entry.name = name;
    entry.phone = file.ReadString(section, "Phone", "");
    entry.user = file.ReadString(section, "User", "");
    entry.password = file.ReadString(section, "Password", "");
    bool ok = true;
    if (entry.phone.empty()) {
      book.problems.push_back(shown + ": Phone missing");
      ok = false;
    }
    for (int n = 1; n <= kMaxAttempts; ++n) {
      const std::string key = "Attempt" + std::to_string(n);
      auto text = file.ReadValue(section, key);
      if (!text) break;
      auto step = ParseDialStep(*text);
      if (!step) {
        book.problems.push_back(shown + ": " + key + " \"" + Cp932ToUtf8(*text) +
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

}  // namespace norvax
