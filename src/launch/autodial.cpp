#include "launch/autodial.h"

#include "launch/registry_access.h"
#include "platform/registry.h"

namespace norvax {

bool IsNoConnection(const std::string& connection) {
  return connection == "/N" || connection == "/n";
}

void SetAutodialProfile(Registry& registry, const std::string& connection, RegistryResult& result) {
  if (IsNoConnection(connection)) return;
  if (!registry.KeyExists(kAutodialKey)) {
    result = RegistryResult::Failed;
    return;
  }
  RegistryKey key(registry, kAutodialKey);
  if (key.ReadString(kAutodialValue) != connection) key.WriteString(kAutodialValue, connection);
  result = RegistryResult::Written;
}

}  // namespace norvax
