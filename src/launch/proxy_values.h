// What a proxy record becomes in each place the browsers take their proxy settings from.
#pragma once

#include <string>
#include <vector>

#include "launch/proxy.h"
#include "platform/processes.h"
#include "platform/proxy_stores.h"

namespace norvax {

// The part of the proxy record the stores take: the switch, the server slots and the
// exceptions as typed (";"-separated).
struct ProxyRecord {
  bool on = false;
  ProxyServerList slots;
  std::string exceptions;
};

// The hosts the desktop's settings and the browser's environment send direct: the loopback
// addresses as the desktop has them by default (localhost, 127.0.0.0/8, ::1; local traffic
// never goes to the proxy, whatever the exceptions), then the exceptions split at ";", blanks
// around each dropped, empty and repeated ones left out.
std::vector<std::string> ProxyBypassList(const std::string& exceptions);

// The values of each store for the record, the switch last (a store that takes them one
// after another has them all before it switches the proxy on). When off, the switch alone. An
// empty host slot clears its protocol (empty host, port 0 or none); an empty port slot
// counts as 0 (GSettings, Firefox) or none (KDE). Throws RegistryError for the port of a host
// that is no port: "'%s' は整数ではありません" when it is not a decimal number, the window's
// ProxyPortMessage when it is above 65535.
std::vector<ProxySetting> GSettingsProxyValues(const ProxyRecord& record);
std::vector<ProxySetting> KdeProxyValues(const ProxyRecord& record);
std::vector<ProxySetting> FirefoxProxyValues(const ProxyRecord& record);

// The proxy variables of a browser's environment: http_proxy, https_proxy, ftp_proxy,
// all_proxy (socks) and no_proxy in lower and upper case; those without a value (all of
// them when off) are removed, so that inherited ones do not send the browser elsewhere. A
// port is refused as above.
EnvironmentChanges ProxyEnvironment(const ProxyRecord& record);

// The stores the desktop's settings go to on this desktop: KDE's on KDE, GSettings on the
// desktops that use it, both where present on any other (GSettings when neither is).
std::vector<ProxyStore> DesktopSettingsStores(ProxyStores& stores);

}  // namespace norvax
