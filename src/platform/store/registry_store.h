// Adapter: the current user's registry kept in a text file in the REGEDIT4 format.
#pragma once

#include <string>

#include "platform/registry.h"

namespace norvax {

class RegistryStore : public Registry {
 public:
  // The store file; a missing file reads as a fresh store (FreshRegistryText) and is
  // written on the first change.
  explicit RegistryStore(std::string path);

  bool KeyExists(const std::string& key) override;
  std::optional<RegistryValue> Read(const std::string& key, const std::string& name) override;
  bool Write(const std::string& key, const std::string& name, const RegistryValue& value) override;

 private:
  std::string path_;
};

// The keys a dial-up desktop has out of the box: the autodial connection. (The proxy
// settings go to the browsers' own stores; a proxy key of an older file is left as it is.)
std::string FreshRegistryText();

}  // namespace norvax
