#include "launch/proxy.h"

#include "core/decimal.h"
#include "core/entry_table.h"
#include "launch/registry_access.h"

namespace norvax {
namespace {

void Store(ProxyServerList& slots, const std::string& protocol, const std::string& host,
           const std::string& current) {
  for (std::size_t k = 0; k < kProxyProtocols.size(); ++k) {
    if (protocol != kProxyProtocols[k]) continue;
    if (!host.empty()) {
      slots[2 * k] = host;
      if (!current.empty()) slots[2 * k + 1] = current;
    } else {
      slots[2 * k] = current;
    }
  }
}

uint32_t PortNumber(const std::string& text) {
  if (text.empty()) return 0;
  auto value = ParseDecimal(text);
  if (!value) throw RegistryError(NotAnIntegerMessage(text));
  return static_cast<uint32_t>(*value);
}

void UpdateString(RegistryKey& key, const std::string& name, const std::string& value) {
  if (key.ReadString(name) != value) key.WriteString(name, value);
}

void UpdateInteger(RegistryKey& key, const std::string& name, uint32_t value) {
  if (key.ReadInteger(name) != value) key.WriteInteger(name, value);
}

}  // namespace

ProxyServerList ParseProxyServer(const std::string& text) {
  ProxyServerList slots;
  std::string protocol, host, current;
  for (char c : text) {
    if (c == '=') {
      protocol = std::move(current);
      current.clear();
    } else if (c == ':') {
      host = std::move(current);
      current.clear();
    } else if (c == ';') {
      Store(slots, protocol, host, current);
      protocol.clear();
      host.clear();
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  Store(slots, protocol, host, current);
  return slots;
}

std::string ComposeProxyServer(const ProxyServerList& slots) {
  std::string out;
  bool written = false;
  for (std::size_t k = 0; k < kProxyProtocols.size(); ++k) {
    if (!slots[2 * k].empty()) {
      if (written) out += ";";
      out += std::string(kProxyProtocols[k]) + "=" + slots[2 * k];
      written = true;
    }
    if (!slots[2 * k + 1].empty()) out += ":" + slots[2 * k + 1];
  }
  return out;
}

ProxyForm LoadProxyForm(const std::string& flags, const std::string& servers,
                        const std::string& exceptions) {
  ProxyForm form;
  form.useProxy = flags.size() > 1 && flags[1] == '1';
  if (flags.size() > 2 && flags[2] == '0') form.browser = ProxyForm::Browser::InternetExplorer;
  if (flags.size() > 2 && flags[2] == '1') form.browser = ProxyForm::Browser::Netscape;
  form.serverSlots = ParseProxyServer(servers);
  form.exceptions = exceptions;
  return form;
}

std::optional<std::string> StoreProxyForm(const ProxyForm& form, std::string& flags,
                                          std::string& servers, std::string& exceptions) {
  for (const auto& row : kProxyServerRows) {
    if (HoldsLineBreak(form.serverSlots[row.hostSlot]) ||
        HoldsLineBreak(form.serverSlots[row.hostSlot + 1])) {
      return LineBreakMessage(row.caption);
    }
  }
  if (flags.size() < 3) flags.resize(3, '0');
  flags[1] = form.useProxy ? '1' : '0';
  if (form.browser == ProxyForm::Browser::InternetExplorer) flags[2] = '0';
  if (form.browser == ProxyForm::Browser::Netscape) flags[2] = '1';
  ProxyServerList slots = form.serverSlots;
  for (std::size_t k = 0; k < kProxyProtocols.size(); ++k) {
    if (slots[2 * k].empty()) slots[2 * k + 1].clear();
  }
  servers = ComposeProxyServer(slots);
  exceptions.clear();
  for (std::size_t i = 0; i < form.exceptions.size(); ++i) {
    const char c = form.exceptions[i];
    if (c == '\r' && i + 1 < form.exceptions.size() && form.exceptions[i + 1] == '\n') continue;
    exceptions.push_back(c == '\r' || c == '\n' ? ';' : c);
  }
  return std::nullopt;
}

void ApplyProxySettings(Registry& registry, const EntryTable& table, std::size_t entry) {
  const std::string& flags = table.Value(entry, Column::ProxyFlags);
  const bool on = flags.size() > 1 && flags[1] == '1';
  const bool internetExplorer = flags.size() > 2 && flags[2] == '0';
  const std::string& servers = table.Value(entry, Column::ProxyServers);
  const std::string& exceptions = table.Value(entry, Column::ProxyExceptions);

  if (internetExplorer) {
    RegistryKey key(registry, kIeSettingsKey);
    uint32_t enable = key.ReadBinaryWord("ProxyEnable");
    if ((enable & 1u) != (on ? 1u : 0u)) key.WriteBinaryWord("ProxyEnable", (enable & ~1u) | on);
    if (on) {
      UpdateString(key, "ProxyServer", servers);
      UpdateString(key, "ProxyOverride", exceptions);
    }
    return;
  }

  RegistryKey proxy(registry, kNetscapeProxyKey);
  UpdateInteger(proxy, "Proxy Type", on ? 1 : 0);
  if (!on) return;
  auto slots = ParseProxyServer(servers);
  UpdateString(proxy, "FTP_Proxy", slots[0]);
  UpdateInteger(proxy, "Ftp_ProxyPort", PortNumber(slots[1]));
  UpdateString(proxy, "Gopher_Proxy", slots[2]);
  UpdateInteger(proxy, "Gopher_ProxyPort", PortNumber(slots[3]));
  UpdateString(proxy, "HTTP_Proxy", slots[4]);
  UpdateInteger(proxy, "Http_ProxyPort", PortNumber(slots[5]));
  UpdateString(proxy, "HTTPS_Proxy", slots[6]);
  UpdateInteger(proxy, "HTTPS_ProxyPort", PortNumber(slots[7]));
  std::string noProxy = exceptions;
  for (char& c : noProxy) {
    if (c == ';') c = ',';
  }
  UpdateString(proxy, "No_Proxy", noProxy);

  RegistryKey services(registry, kNetscapeServicesKey);
  UpdateString(services, "SOCKS_Server", slots[8]);
  UpdateInteger(services, "SOCKS_ServerPort", PortNumber(slots[9]));
}

}  // namespace norvax
