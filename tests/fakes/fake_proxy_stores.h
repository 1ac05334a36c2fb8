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
  bool Read(ProxyStore store, const std::string& name, std::optional<std::string>& value) override {
    if (unreadable.count(store)) return false;
    auto it = values[store].find(name);
    value = it == values[store].end() ? std::nullopt : std::optional(it->second);
    return true;
  }
  bool Write(ProxyStore store, const std::vector<ProxySetting>& settings) override {
    if (!present.count(store) || readOnly.count(store)) return false;
    writes.push_back({store, settings});
    for (const auto& s : settings) values[store][s.name] = s.value;
    return true;
  }
  bool FirefoxRunning() override { return firefoxRunning; }

  std::string desktop;
  std::set<ProxyStore> present, unreadable, readOnly;
  std::map<ProxyStore, std::map<std::string, std::string>> values;
  std::vector<std::pair<ProxyStore, std::vector<ProxySetting>>> writes;
  bool firefoxRunning = false;
};

}  // namespace norvax::fakes
