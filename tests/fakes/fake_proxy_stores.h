// Proxy stores held in memory.
#pragma once

#include <map>
#include <set>

#include "platform/proxy_stores.h"

namespace norvax::fakes {

class FakeProxyStores : public ProxyStores {
 public:
  std::string CurrentDesktop() override { return desktop; }
  bool Present(ProxyStore store) override { return present.count(store) > 0; }
  bool Holds(ProxyStore store, const ProxySetting& setting, bool& held) override {
    if (unreadable.count(store)) return false;
    auto it = values[store].find(setting.name);
    held = it != values[store].end() && it->second == setting.value;
    return true;
  }
  bool Write(ProxyStore store, const std::vector<ProxySetting>& settings,
             std::string& why) override {
    if (!present.count(store) || readOnly.count(store)) {
      why = failure;
      return false;
    }
    writes.push_back({store, settings});
    for (const auto& s : settings) values[store][s.name] = s.value;
    return true;
  }
  bool FirefoxRunning() override { return firefoxRunning; }

  std::string desktop;
  std::set<ProxyStore> present, unreadable, readOnly;
  std::string failure;  // why a write fails
  std::map<ProxyStore, std::map<std::string, ProxyValue>> values;
  std::vector<std::pair<ProxyStore, std::vector<ProxySetting>>> writes;
  bool firefoxRunning = false;
};

}  // namespace norvax::fakes
