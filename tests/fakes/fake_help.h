// Help that records the topics asked for.
#pragma once

#include <string>
#include <vector>

#include "platform/help.h"

namespace norvax::fakes {

class FakeHelp : public Help {
 public:
  void ShowTopic(const std::string& key) override { topics.push_back(key); }
  void ShowFinder() override { ++finderShown; }

  std::vector<std::string> topics;
  int finderShown = 0;
};

}  // namespace norvax::fakes
