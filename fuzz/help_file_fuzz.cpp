// Any help file: every topic is found by its key and gives the plain text of its page, and
// the words of a topic's title find that topic.
#include <algorithm>
#include <string_view>

#include "fuzz_support.h"
#include "platform/help_file.h"

namespace {

// True for text of blanks alone, ideographic spaces included: a query without words.
bool OnlyBlanks(std::string_view text) {
  while (!text.empty()) {
    if (text.starts_with("\xE3\x80\x80")) {
      text.remove_prefix(3);
    } else if (text.front() == ' ' || text.front() == '\t' || text.front() == '\r') {
      text.remove_prefix(1);
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace norvax;
  const std::vector<HelpTopic> topics = ParseHelpFile(fuzz::Input(data, size));
  for (const auto& topic : topics) {
    FUZZ_CHECK(FindHelpTopic(topics, topic.key) != nullptr);
    HelpPlainText(topic.html);
  }
  if (topics.empty() || OnlyBlanks(topics.back().title)) return 0;
  const auto found = SearchHelpTopics(topics, topics.back().title);
  FUZZ_CHECK(std::find(found.begin(), found.end(), topics.size() - 1) != found.end());
  return 0;
}
