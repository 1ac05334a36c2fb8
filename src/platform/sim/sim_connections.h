// Connections the simulated dialler holds, kept in a file of the program directory so that
// every process of the user sees them: NORVAX, and the simulated connect dialog that brings
// a connection up on its own. Changes are serialised between threads and processes by an
// advisory lock on a file beside it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace norvax {

inline constexpr const char* kSimConnectionsFileName = "sim-connections.ini";

class SimConnections {
 public:
  explicit SimConnections(std::string path);

  // Marks the connection as up; returns its handle (never 0). A connection already up keeps
  // its handle.
  uint32_t BringUp(const std::string& name);

  // A handle never given out before (never 0), for a dial that may bring a connection up
  // later with BringUpAs.
  uint32_t NewHandle();

  // Marks the connection as up under the handle given; a record of the same name under
  // another handle is replaced, since there is one line per connection.
  void BringUpAs(uint32_t handle, const std::string& name);

  // Handle of the connection of that name while it is up.
  std::optional<uint32_t> Find(const std::string& name) const;

  // Name of the connection of a handle while it is up.
  std::optional<std::string> NameOf(uint32_t handle) const;

  // Ends the connection; false when no connection has that handle.
  bool HangUp(uint32_t handle);

 private:
  uint32_t NewHandleLocked();

  std::string path_;
};

}  // namespace norvax
