// Any help file: every topic is found by its key and gives the plain text of its page, and
// the words of a topic's title find that topic.
#include <algorithm>

#include "fuzz_support.h"
#include "platform/help_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace norvax;
  const std::vector<HelpTopic> topics = ParseHelpFile(fuzz::Input(data, size));
  for (const auto& topic : topics) {
    FUZZ_CHECK(FindHelpTopic(topics, topic.key) != nullptr);
    HelpPlainText(topic.html);
  }
  if (topics.empty()) return 0;
  const auto found = SearchHelpTopics(topics, topics.back().title);
  FUZZ_CHECK(std::find(found.begin(), found.end(), topics.size() - 1) != found.end());
  return 0;
}
