#include "launch/proxy_values.h"

#include <algorithm>
#include <array>

#include "launch/registry_access.h"
#include "platform/cp932.h"

namespace norvax {
namespace {

// The protocols the stores know, with their slots: the host slot (the port is the one
// after it) and each store's name for the protocol. Gopher has a slot but no store.
struct Protocol {
  std::size_t hostSlot;
  const char* gsettings;  // schema below org.gnome.system.proxy
  const char* kde;        // kioslaverc key
  ProxyAddress::Kind kind;
  const char* firefox;  // preference below network.proxy
  const char* variable;
  const char* variableScheme;
};
constexpr std::array<Protocol, 4> kProtocols{{
    {4, "http", "httpProxy", ProxyAddress::Kind::Http, "http", "http_proxy", "http://"},
    {6, "https", "httpsProxy", ProxyAddress::Kind::Http, "ssl", "https_proxy", "http://"},
    {0, "ftp", "ftpProxy", ProxyAddress::Kind::Http, "ftp", "ftp_proxy", "http://"},
    {8, "socks", "socksProxy", ProxyAddress::Kind::Socks, "socks", "all_proxy", "socks5://"},
}};

constexpr const char* kGSettingsSchema = "org.gnome.system.proxy";

// The port of the protocol whose host slot is hostSlot; 0 for none. A text that is no number
// is refused as the registry layer refuses it, a number above 65535 as the window does.
int Port(const ProxyServerList& slots, std::size_t hostSlot) {
  const std::string& port = slots[hostSlot + 1];
  const ProxyPortFault fault = CheckProxyPort(port);
  if (fault == ProxyPortFault::NotANumber) throw RegistryError(NotAnIntegerMessage(port));
  if (fault == ProxyPortFault::TooLarge) throw RegistryError(ProxyPortMessage(hostSlot, fault));
  return port.empty() ? 0 : std::stoi(port);
}

// The port of a protocol with a host; 0 without one.
int PortOfHost(const ProxyServerList& slots, std::size_t hostSlot) {
  return slots[hostSlot].empty() ? 0 : Port(slots, hostSlot);
}

std::string Joined(const std::vector<std::string>& items, const std::string& separator) {
  std::string out;
  for (const auto& item : items) out += (out.empty() ? "" : separator) + item;
  return out;
}

}  // namespace

std::vector<std::string> ProxyBypassList(const std::string& exceptions) {
  std::vector<std::string> out{"localhost", "127.0.0.0/8", "::1"};
  std::size_t start = 0;
  while (start <= exceptions.size()) {
    std::size_t end = exceptions.find(';', start);
    if (end == std::string::npos) end = exceptions.size();
    std::string item = exceptions.substr(start, end - start);
    item.erase(0, item.find_first_not_of(" \t"));
    item.erase(item.find_last_not_of(" \t") + 1);
    if (!item.empty() && std::find(out.begin(), out.end(), item) == out.end()) out.push_back(item);
    start = end + 1;
  }
  return out;
}

std::vector<ProxySetting> GSettingsProxyValues(const ProxyRecord& record) {
  const std::string schema = kGSettingsSchema;
  const ProxySetting mode{schema + " mode", std::string(record.on ? "manual" : "none")};
  if (!record.on) return {mode};
  // Each protocol its own server, as the record gives them.
  std::vector<ProxySetting> out{{schema + " use-same-proxy", false}};
  out.push_back({schema + " ignore-hosts", ProxyBypassList(record.exceptions)});
  for (const Protocol& p : kProtocols) {
    const std::string child = schema + "." + p.gsettings;
    out.push_back({child + " host", record.slots[p.hostSlot]});
    out.push_back({child + " port", PortOfHost(record.slots, p.hostSlot)});
  }
  out.push_back(mode);
  return out;
}

std::vector<ProxySetting> KdeProxyValues(const ProxyRecord& record) {
  const ProxySetting type{"ProxyType", record.on ? 1 : 0};
  if (!record.on) return {type};
  std::vector<ProxySetting> out;
  for (const Protocol& p : kProtocols) {
    ProxyAddress address{p.kind, record.slots[p.hostSlot], std::nullopt};
    if (!address.host.empty() && !record.slots[p.hostSlot + 1].empty()) {
      address.port = Port(record.slots, p.hostSlot);
    }
    out.push_back({p.kde, address});
  }
  out.push_back({"NoProxyFor", ProxyBypassList(record.exceptions)});
  out.push_back(type);
  return out;
}

std::vector<ProxySetting> FirefoxProxyValues(const ProxyRecord& record) {
  const std::string prefix = "network.proxy.";
  const ProxySetting type{prefix + "type", record.on ? 1 : 0};
  if (!record.on) return {type};
  std::vector<ProxySetting> out;
  for (const Protocol& p : kProtocols) {
    out.push_back({prefix + p.firefox, record.slots[p.hostSlot]});
    out.push_back({prefix + p.firefox + "_port", PortOfHost(record.slots, p.hostSlot)});
  }
  std::string noProxy = record.exceptions;
  for (char& c : noProxy) {
    if (c == ';') c = ',';
  }
  out.push_back({prefix + "no_proxies_on", noProxy});
  out.push_back(type);
  return out;
}

EnvironmentChanges ProxyEnvironment(const ProxyRecord& record) {
  EnvironmentChanges out;
  auto set = [&](const std::string& name, const std::string& value) {
    out[name] = out[Cp932UpperAscii(name)] = record.on ? value : "";
  };
  for (const Protocol& p : kProtocols) {
    const std::string& host = record.slots[p.hostSlot];
    const std::string& port = record.slots[p.hostSlot + 1];
    std::string address;
    if (record.on && !host.empty()) {
      address = p.variableScheme + host +
                (port.empty() ? "" : ":" + std::to_string(Port(record.slots, p.hostSlot)));
    }
    set(p.variable, address);
  }
  set("no_proxy", Joined(ProxyBypassList(record.exceptions), ","));
  return out;
}

std::vector<ProxyStore> DesktopSettingsStores(ProxyStores& stores) {
  static constexpr const char* kGSettingsDesktops[] = {
      "GNOME", "UNITY", "CINNAMON", "X-CINNAMON", "PANTHEON", "BUDGIE", "DEEPIN", "UKUI"};
  const std::string desktops = ":" + Cp932UpperAscii(stores.CurrentDesktop()) + ":";
  if (desktops.find(":KDE:") != std::string::npos) return {ProxyStore::Kde};
  for (const char* name : kGSettingsDesktops) {
    if (desktops.find(":" + std::string(name) + ":") != std::string::npos) {
      return {ProxyStore::GSettings};
    }
  }
  std::vector<ProxyStore> out;
  for (ProxyStore store : {ProxyStore::GSettings, ProxyStore::Kde}) {
    if (stores.Present(store)) out.push_back(store);
  }
  if (out.empty()) out.push_back(ProxyStore::GSettings);
  return out;
}

}  // namespace norvax
