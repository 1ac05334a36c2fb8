#include "platform/processes.h"

namespace norvax {

std::optional<std::vector<std::string>> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  for (std::size_t i = 0; i < commandLine.size(); ++i) {
    char c = commandLine[i];
    if (c == ' ' || c == '\t' || c == '\n') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
      continue;
    }
    inWord = true;
    if (c == '\'') {
      auto end = commandLine.find('\'', i + 1);
      if (end == std::string::npos) return std::nullopt;
      word.append(commandLine, i + 1, end - i - 1);
      i = end;
    } else if (c == '"') {
      for (++i;; ++i) {
        if (i >= commandLine.size()) return std::nullopt;
        char d = commandLine[i];
        if (d == '"') break;
        if (d == '\\' && i + 1 < commandLine.size() &&
            std::string_view("\"\\$`").find(commandLine[i + 1]) != std::string_view::npos) {
          d = commandLine[++i];
        }
        word.push_back(d);
      }
    } else if (c == '\\' && i + 1 < commandLine.size()) {
      word.push_back(commandLine[++i]);
    } else {
      word.push_back(c);
    }
  }
  if (inWord) words.push_back(std::move(word));
  return words;
}

std::string QuoteCommandWord(const std::string& word) {
  if (!word.empty() && word.find_first_of(" \t\n'\"\\") == std::string::npos) return word;
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'') {
      quoted += "'\\''";  // out of the quotes, the quote itself, back in
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

}  // namespace norvax
