// The help file: topic pages under the program's topic keys, in file order.
//
// The file is UTF-8 text. A line "@@ KEY Title" starts a topic; the lines up to the next
// such line are its page (HTML). Lines before the first topic and lines starting with
// "@;" are comments.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace norvax {

struct HelpTopic {
  std::string key;
  std::string title;
  std::string html;
};

std::vector<HelpTopic> ParseHelpFile(std::string_view text);

// The topic with the key (ASCII case ignored), or nullptr.
const HelpTopic* FindHelpTopic(const std::vector<HelpTopic>& topics, std::string_view key);

// The page text without markup, entities decoded, for searching.
std::string HelpPlainText(std::string_view html);

// Indexes of the topics whose title or text contains every blank-separated word of the
// query (ASCII case ignored), in file order. An empty query finds nothing.
std::vector<std::size_t> SearchHelpTopics(const std::vector<HelpTopic>& topics,
                                          std::string_view query);

}  // namespace norvax
