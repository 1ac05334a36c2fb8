// A remote-access service with a phonebook set by the test.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/remote_access.h"

namespace norvax::fakes {

class FakeRemoteAccess : public RemoteAccess {
 public:
  std::vector<std::string> EnumPhonebookEntries() override {
    std::vector<std::string> names;
    for (auto& [name, number] : phonebook) names.push_back(name);
    return names;
  }
  std::optional<std::string> GetEntryPhoneNumber(const std::string& connection) override {
    for (auto& [name, number] : phonebook) {
      if (name == connection) return number;
    }
    return std::nullopt;
  }
  std::optional<std::string> ErrorString(int code) override {
    auto it = errorTexts.find(code);
    if (it == errorTexts.end()) return std::nullopt;
    return it->second;
  }

  std::vector<std::pair<std::string, std::string>> phonebook;  // name, number
  std::map<int, std::string> errorTexts;
};

}  // namespace norvax::fakes
