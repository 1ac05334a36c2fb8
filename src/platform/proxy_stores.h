// Port: the places the current user's browsers take their proxy settings from: the
// desktop's (GSettings org.gnome.system.proxy, KDE's kioslaverc) and Firefox's own
// (user.js of the default profile). A setting is named as its store names it: GSettings
// "schema key", the kioslaverc key of [Proxy Settings], the user.js preference. Its value
// is typed; each store writes it in its own notation. Text is CP932.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace norvax {

enum class ProxyStore { GSettings, Kde, Firefox };

// A proxy server as one value: the protocol it speaks, its host (empty for none) and port
// (none when the record names none).
struct ProxyAddress {
  enum class Kind { Http, Socks } kind = Kind::Http;
  std::string host;
  std::optional<int> port;
  bool operator==(const ProxyAddress&) const = default;
};

// A switch, a number, a text, a list of texts or a proxy server. A value of a kind its store
// (or the store's key) cannot hold is not written: the write fails.
using ProxyValue = std::variant<bool, int, std::string, std::vector<std::string>, ProxyAddress>;

struct ProxySetting {
  std::string name;
  ProxyValue value;
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

  // Whether the store holds the setting's value as its programs read it, into held (false
  // when the value or the store is missing); false when the store cannot be read.
  virtual bool Holds(ProxyStore store, const ProxySetting& setting, bool& held) = 0;

  // Sets the values. Each is checked before any is set, so a value the store refuses sets
  // none. The files are replaced in one step. GSettings takes the values in the order
  // given, each run of values of one schema in one change: when a change fails, or the
  // program ends, part-way, the values after it stay as they were, so the value that
  // switches the others on goes last. False when the store is missing or the values cannot
  // be written; why then says why (naming the file or the key), or is empty.
  virtual bool Write(ProxyStore store, const std::vector<ProxySetting>& values,
                     std::string& why) = 0;

  // Whether a Firefox runs on the default profile (it reads user.js only at its start).
  virtual bool FirefoxRunning() = 0;
};

}  // namespace norvax
