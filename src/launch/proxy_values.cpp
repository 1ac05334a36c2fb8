#include "launch/proxy_values.h"

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
  const char* kdeScheme;
  const char* firefox;  // preference below network.proxy
  const char* variable;
  const char* variableScheme;
};
constexpr std::array<Protocol, 4> kProtocols{{
    {4, "http", "httpProxy", "http://", "http", "http_proxy", "http://"},
    {6, "https", "httpsProxy", "http://", "ssl", "https_proxy", "http://"},
    {0, "ftp", "ftpProxy", "http://", "ftp", "ftp_proxy", "http://"},
    {8, "socks", "socksProxy", "socks://", "socks", "all_proxy", "socks5://"},
}};

constexpr const char* kGSettingsSchema = "org.gnome.system.proxy";

// text with a backslash put before every single-byte character of specials (never before
// the second byte of a double-byte character).
std::string Escaped(const std::string& text, std::string_view specials) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsCp932LeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
      out += text.substr(i++, 2);
      continue;
    }
    if (specials.find(text[i]) != std::string_view::npos) out.push_back('\\');
    out.push_back(text[i]);
  }
  return out;
}

// A GVariant string as GLib prints it: in single quotes, or double quotes when it holds a
// single quote.
std::string GVariantString(const std::string& text) {
  const char quote = text.find('\'') == std::string::npos ? '\'' : '"';
  return quote + Escaped(text, std::string("\\") + quote) + quote;
}

std::string JsString(const std::string& text) { return '"' + Escaped(text, "\\\"") + '"'; }

std::string PortText(const std::string& slot) {
  if (slot.empty()) return "0";
  bool digits = slot.size() <= 5;
  for (char c : slot) digits = digits && c >= '0' && c <= '9';
  if (!digits || std::stoi(slot) > 65535) throw RegistryError(NotAnIntegerMessage(slot));
  return std::to_string(std::stoi(slot));
}

std::string Joined(const std::vector<std::string>& items, const std::string& separator) {
  std::string out;
  for (const auto& item : items) out += (out.empty() ? "" : separator) + item;
  return out;
}

// "host" and " port" / ":port" as a proxy address; empty without a host.
std::string Address(const std::string& scheme, const std::string& host, const std::string& port,
                    char portSeparator) {
  if (host.empty()) return "";
  return scheme + host + (port.empty() ? "" : portSeparator + PortText(port));
}

}  // namespace

std::vector<std::string> ProxyExceptionList(const std::string& exceptions) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= exceptions.size()) {
    std::size_t end = exceptions.find(';', start);
    if (end == std::string::npos) end = exceptions.size();
    std::string item = exceptions.substr(start, end - start);
    item.erase(0, item.find_first_not_of(" \t"));
    item.erase(item.find_last_not_of(" \t") + 1);
    if (!item.empty()) out.push_back(item);
    start = end + 1;
  }
  return out;
}

std::vector<ProxySetting> GSettingsProxyValues(const ProxyRecord& record) {
  const std::string schema = kGSettingsSchema;
  std::vector<ProxySetting> out{{schema + " mode", record.on ? "'manual'" : "'none'"}};
  if (!record.on) return out;
  // Each protocol its own server, as the record gives them.
  out.push_back({schema + " use-same-proxy", "false"});
  std::vector<std::string> hosts;
  for (const auto& host : ProxyExceptionList(record.exceptions)) {
    hosts.push_back(GVariantString(host));
  }
  out.push_back({schema + " ignore-hosts", "[" + Joined(hosts, ", ") + "]"});
  for (const Protocol& p : kProtocols) {
    const std::string& host = record.slots[p.hostSlot];
    const std::string child = schema + "." + p.gsettings;
    out.push_back({child + " host", GVariantString(host)});
    out.push_back({child + " port", host.empty() ? "0" : PortText(record.slots[p.hostSlot + 1])});
  }
  return out;
}

std::vector<ProxySetting> KdeProxyValues(const ProxyRecord& record) {
  std::vector<ProxySetting> out{{"ProxyType", record.on ? "1" : "0"}};
  if (!record.on) return out;
  for (const Protocol& p : kProtocols) {
    const std::string& host = record.slots[p.hostSlot];
    out.push_back(
        {p.kde, Escaped(Address(p.kdeScheme, host, record.slots[p.hostSlot + 1], ' '), "\\")});
  }
  out.push_back({"NoProxyFor", Escaped(Joined(ProxyExceptionList(record.exceptions), ","), "\\")});
  return out;
}

std::vector<ProxySetting> FirefoxProxyValues(const ProxyRecord& record) {
  const std::string prefix = "network.proxy.";
  std::vector<ProxySetting> out{{prefix + "type", record.on ? "1" : "0"}};
  if (!record.on) return out;
  for (const Protocol& p : kProtocols) {
    const std::string& host = record.slots[p.hostSlot];
    out.push_back({prefix + p.firefox, JsString(host)});
    out.push_back({prefix + p.firefox + "_port",
                   host.empty() ? "0" : PortText(record.slots[p.hostSlot + 1])});
  }
  std::string noProxy = record.exceptions;
  for (char& c : noProxy) {
    if (c == ';') c = ',';
  }
  out.push_back({prefix + "no_proxies_on", JsString(noProxy)});
  return out;
}

EnvironmentChanges ProxyEnvironment(const ProxyRecord& record) {
  EnvironmentChanges out;
  auto set = [&](const std::string& name, const std::string& value) {
    out[name] = out[Cp932UpperAscii(name)] = record.on ? value : "";
  };
  for (const Protocol& p : kProtocols) {
    const std::string host = record.on ? record.slots[p.hostSlot] : "";
    set(p.variable, Address(p.variableScheme, host, record.slots[p.hostSlot + 1], ':'));
  }
  set("no_proxy", Joined(ProxyExceptionList(record.exceptions), ","));
  return out;
}

std::vector<ProxyStore> DesktopProxyStores(ProxyStores& stores) {
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
