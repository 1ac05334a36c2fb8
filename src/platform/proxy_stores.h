// Port: the places the current user's browsers take their proxy settings from: the
// desktop's (GSettings org.gnome.system.proxy, KDE's kioslaverc) and Firefox's own
// (user.js of the default profile). Names and values are CP932 text in each store's own
// notation: GSettings "schema key" and the value as GVariant text; the kioslaverc key of
// [Proxy Settings] and its value as written there; the user.js preference and its
// JavaScript value.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace norvax {

enum class ProxyStore { GSettings, Kde, Firefox };

struct ProxySetting {
  std::string name;
  std::string value;
  bool operator==(const ProxySetting&) const = default;
};

class ProxyStores {
 public:
  virtual ~ProxyStores() = default;

  // The desktop the session runs (XDG_CURRENT_DESKTOP: names separated by ":").
  virtual std::string CurrentDesktop() = 0;

  // Whether the store is there: the GSettings schema is installed; KDE's proxy file or its
  // global settings exist; the default Firefox profile is found.
  virtual bool Present(ProxyStore store) = 0;

  // The stored value into value (nothing when the value or the store is missing); false
  // when the store cannot be read.
  virtual bool Read(ProxyStore store, const std::string& name,
                    std::optional<std::string>& value) = 0;

  // Sets the values all in one step, or none; false when the store is missing or cannot be
  // written.
  virtual bool Write(ProxyStore store, const std::vector<ProxySetting>& values) = 0;

  // Whether a Firefox runs on the default profile (it reads user.js only at its start).
  virtual bool FirefoxRunning() = 0;
};

}  // namespace norvax
