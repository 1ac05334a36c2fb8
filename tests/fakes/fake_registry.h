// A registry held in memory; keys exist only when the test adds them.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/cp932.h"
#include "platform/registry.h"

namespace norvax::fakes {

class FakeRegistry : public Registry {
 public:
  void AddKey(const std::string& key) { keys[Norm(key)]; }

  bool KeyExists(const std::string& key) override { return keys.count(Norm(key)) > 0; }
  std::optional<RegistryValue> Read(const std::string& key, const std::string& name) override {
    auto k = keys.find(Norm(key));
    if (k == keys.end()) return std::nullopt;
    auto v = k->second.find(name);
    if (v == k->second.end()) return std::nullopt;
    return v->second;
  }
  bool Write(const std::string& key, const std::string& name, const RegistryValue& value) override {
    auto k = keys.find(Norm(key));
    if (k == keys.end() || failWrites) return false;
    k->second[name] = value;
    writes.push_back(name);
    return true;
  }

  std::map<std::string, std::map<std::string, RegistryValue>> keys;
  std::vector<std::string> writes;  // names written, in order
  bool failWrites = false;

 private:
  static std::string Norm(std::string key) {
    while (!key.empty() && key.front() == '\\') key.erase(0, 1);
    return Cp932UpperAscii(key);
  }
};

}  // namespace norvax::fakes
