#include "platform/help_file.h"

#include <algorithm>

namespace norvax {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), Lower);
  return out;
}

std::string_view Trim(std::string_view s) {
  auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

std::vector<HelpTopic> ParseHelpFile(std::string_view text) {
  std::vector<HelpTopic> topics;
  while (!text.empty()) {
    auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (line.starts_with("@;")) continue;
    if (line.starts_with("@@")) {
      std::string_view rest = Trim(line.substr(2));
      auto blank = rest.find(' ');
      HelpTopic topic;
      topic.key = std::string(rest.substr(0, blank));
      if (blank != std::string_view::npos) topic.title = std::string(Trim(rest.substr(blank)));
      if (topic.title.empty()) topic.title = topic.key;
      if (!topic.key.empty()) topics.push_back(std::move(topic));
      continue;
    }
    if (topics.empty()) continue;
    topics.back().html.append(line);
    topics.back().html.push_back('\n');
  }
  return topics;
}

const HelpTopic* FindHelpTopic(const std::vector<HelpTopic>& topics, std::string_view key) {
  std::string wanted = LowerAscii(key);
  for (const auto& t : topics) {
    if (LowerAscii(t.key) == wanted) return &t;
  }
  return nullptr;
}

std::string HelpPlainText(std::string_view html) {
  std::string out;
  bool inTag = false;
  for (std::size_t i = 0; i < html.size(); ++i) {
    char c = html[i];
    if (inTag) {
      if (c == '>') {
        inTag = false;
        out.push_back(' ');
      }
      continue;
    }
    if (c == '<') {
      inTag = true;
      continue;
    }
    if (c == '&') {
      static constexpr std::pair<std::string_view, char> kEntities[] = {
          {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&nbsp;", ' '}};
      bool decoded = false;
      for (auto [name, ch] : kEntities) {
        if (html.substr(i).starts_with(name)) {
          out.push_back(ch);
          i += name.size() - 1;
          decoded = true;
          break;
        }
      }
      if (decoded) continue;
    }
    out.push_back(c);
  }
  return out;
}

std::vector<std::size_t> SearchHelpTopics(const std::vector<HelpTopic>& topics,
                                          std::string_view query) {
  // The ideographic space (U+3000) separates words as well.
  std::string q(query);
  for (auto at = q.find("\xE3\x80\x80"); at != std::string::npos; at = q.find("\xE3\x80\x80"))
    q.replace(at, 3, " ");
  std::vector<std::string> words;
  std::string_view rest = q;
  while (!(rest = Trim(rest)).empty()) {
    auto blank = rest.find_first_of(" \t");
    words.push_back(LowerAscii(rest.substr(0, blank)));
    if (blank == std::string_view::npos) break;
    rest = rest.substr(blank);
  }
  std::vector<std::size_t> found;
  if (words.empty()) return found;
  for (std::size_t i = 0; i < topics.size(); ++i) {
    std::string hay = LowerAscii(topics[i].title + "\n" + HelpPlainText(topics[i].html));
    bool all = std::all_of(words.begin(), words.end(),
                           [&](const std::string& w) { return hay.find(w) != std::string::npos; });
    if (all) found.push_back(i);
  }
  return found;
}

}  // namespace norvax
