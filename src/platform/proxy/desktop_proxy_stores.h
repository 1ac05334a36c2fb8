// Adapter: the proxy stores of a Linux desktop. GSettings through GIO (the desktop's own
// backend, dconf, or the one GSETTINGS_BACKEND names); KDE's $XDG_CONFIG_HOME/kioslaverc;
// user.js of the default profile of ~/.mozilla/firefox/profiles.ini. The files are
// replaced in one step each (a symlinked user.js stays a link; its target is replaced),
// keeping every line they do not set byte for byte; a file its owner made read-only is
// not written.
#pragma once

#include <filesystem>
#include <optional>

#include "platform/proxy_stores.h"

namespace norvax {

class DesktopProxyStores : public ProxyStores {
 public:
  std::string CurrentDesktop() override;
  bool Present(ProxyStore store) override;
  bool Read(ProxyStore store, const std::string& name, std::optional<std::string>& value) override;
  bool Write(ProxyStore store, const std::vector<ProxySetting>& values) override;
  bool FirefoxRunning() override;
};

// The folder of the default Firefox profile that profiles.ini (text) names, below the
// folder that holds it: the first install's default, else the profile with Default=1;
// nothing when it names none.
std::optional<std::filesystem::path> DefaultFirefoxProfile(const std::string& profilesIni,
                                                           const std::filesystem::path& folder);

}  // namespace norvax
