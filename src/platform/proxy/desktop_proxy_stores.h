// Adapter: the proxy stores of a Linux desktop. GSettings through GIO (the desktop's own
// backend, dconf, or the one GSETTINGS_BACKEND names); KDE's $XDG_CONFIG_HOME/kioslaverc;
// user.js of the default profile in the folder Firefox keeps its profiles in
// (~/.mozilla/firefox while it is there, else $XDG_CONFIG_HOME/mozilla/firefox). The files are
// changed as platform/store/proxy_files says and replaced in one step each (a symlinked user.js
// stays a link; its target is replaced); a file its owner made read-only is not written.
#pragma once

#include "platform/proxy_stores.h"

namespace norvax {

class DesktopProxyStores : public ProxyStores {
 public:
  std::string CurrentDesktop() override;
  bool Present(ProxyStore store) override;
  bool Holds(ProxyStore store, const ProxySetting& setting, bool& held) override;
  bool Write(ProxyStore store, const std::vector<ProxySetting>& values, std::string& why) override;
  bool FirefoxRunning() override;
};

}  // namespace norvax
