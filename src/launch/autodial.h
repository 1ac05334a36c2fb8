// Pointing the system's Internet autodial at an entry's connection.
#pragma once

#include <string>

namespace norvax {

class Registry;

inline constexpr const char* kAutodialKey = "RemoteAccess";
inline constexpr const char* kAutodialValue = "InternetProfile";

// Outcome of the autodial step of a launch.
enum class RegistryResult { NothingDone = 0, Written = 1, Failed = 2 };

// Writes the connection name into the autodial setting when it differs. "/N" and "/n" (no
// dial-up connection) leave result unchanged; a missing key gives Failed, otherwise
// Written. Throws RegistryError when the value cannot be read or written.
void SetAutodialProfile(Registry& registry, const std::string& connection, RegistryResult& result);

// True for the connection values that stand for no dial-up connection.
bool IsNoConnection(const std::string& connection);

}  // namespace norvax
