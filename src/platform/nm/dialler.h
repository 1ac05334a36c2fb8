// Which remote-access service dials for a program directory: the simulated dialler when the
// directory holds its phonebook file, else NetworkManager when it answers on the system bus,
// else none.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/remote_access.h"

namespace norvax {

enum class DiallerKind { Simulated, NetworkManager, None };

struct Dialler {
  DiallerKind kind;
  std::unique_ptr<RemoteAccess> access;
};

// Needs a QCoreApplication for NetworkManager.
Dialler OpenDialler(const std::filesystem::path& directory);

// "simulated", "NetworkManager" or "none".
const char* DiallerName(DiallerKind kind);

}  // namespace norvax
