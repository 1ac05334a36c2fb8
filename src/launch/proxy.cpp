#include "launch/proxy.h"

#include <algorithm>

#include "core/entry_table.h"
#include "launch/proxy_values.h"
#include "launch/registry_access.h"
#include "platform/cp932.h"

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

// Writes the values of one store that differ from what it holds, all in one step; true
// when something was written.
bool Update(ProxyStores& stores, ProxyStore store, const std::vector<ProxySetting>& values) {
  std::vector<ProxySetting> changes;
  for (const ProxySetting& setting : values) {
    bool held = false;
    if (!stores.Holds(store, setting, held)) throw RegistryError(ReadFailedMessage(setting.name));
    if (!held) changes.push_back(setting);
  }
  if (changes.empty()) return false;
  std::string why;
  if (!stores.Write(store, changes, why)) {
    throw RegistryError(WriteFailedMessage(changes[0].name) + (why.empty() ? "" : "\n" + why));
  }
  return true;
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

ProxyPortFault CheckProxyPort(const std::string& port) {
  long value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return ProxyPortFault::NotANumber;
    value = std::min(value * 10 + (c - '0'), 65536L);
  }
  return value > 65535 ? ProxyPortFault::TooLarge : ProxyPortFault::None;
}

std::string ProxyPortMessage(std::size_t hostSlot, ProxyPortFault fault) {
  std::string caption;
  for (const auto& row : kProxyServerRows) {
    if (row.hostSlot == hostSlot) caption = row.caption;
  }
  return Sjis("「" + caption + "」のﾎﾟｰﾄが" +
              (fault == ProxyPortFault::TooLarge ? "大きすぎます" : "数字ではありません") +
              "。0 ～ 65535 を入力して下さい。");
}

std::optional<std::string> StoreProxyForm(const ProxyForm& form, std::string& flags,
                                          std::string& servers, std::string& exceptions) {
  for (const auto& row : kProxyServerRows) {
    if (HoldsLineBreak(form.serverSlots[row.hostSlot]) ||
        HoldsLineBreak(form.serverSlots[row.hostSlot + 1])) {
      return LineBreakMessage(row.caption);
    }
  }
  ProxyServerList slots = form.serverSlots;
  for (std::size_t k = 0; k < kProxyProtocols.size(); ++k) {
    if (slots[2 * k].empty()) slots[2 * k + 1].clear();
  }
  std::string text = ComposeProxyServer(slots);
  // The ports as a launch reads them back from the text.
  const ProxyServerList stored = ParseProxyServer(text);
  for (const auto& row : kProxyServerRows) {
    if (const ProxyPortFault fault = CheckProxyPort(stored[row.hostSlot + 1]);
        !stored[row.hostSlot].empty() && fault != ProxyPortFault::None) {
      return ProxyPortMessage(row.hostSlot, fault);
    }
  }
  if (flags.size() < 3) flags.resize(3, '0');
  flags[1] = form.useProxy ? '1' : '0';
  if (form.browser == ProxyForm::Browser::InternetExplorer) flags[2] = '0';
  if (form.browser == ProxyForm::Browser::Netscape) flags[2] = '1';
  servers = std::move(text);
  exceptions.clear();
  for (std::size_t i = 0; i < form.exceptions.size(); ++i) {
    const char c = form.exceptions[i];
    if (c == '\r' && i + 1 < form.exceptions.size() && form.exceptions[i + 1] == '\n') continue;
    exceptions.push_back(c == '\r' || c == '\n' ? ';' : c);
  }
  return std::nullopt;
}

ProxyApplied ApplyProxySettings(ProxyStores& stores, const EntryTable& table, std::size_t entry) {
  const std::string& flags = table.Value(entry, Column::ProxyFlags);
  ProxyRecord record;
  record.on = flags.size() > 1 && flags[1] == '1';
  record.slots = ParseProxyServer(table.Value(entry, Column::ProxyServers));
  record.exceptions = table.Value(entry, Column::ProxyExceptions);
  ProxyApplied applied;
  if (flags.size() > 2 && flags[2] == '0') {
    // Every value is worked out (and a bad port refused) before anything is written.
    std::vector<std::pair<ProxyStore, std::vector<ProxySetting>>> writes;
    for (ProxyStore store : DesktopSettingsStores(stores)) {
      writes.emplace_back(
          store, store == ProxyStore::Kde ? KdeProxyValues(record) : GSettingsProxyValues(record));
    }
    applied.environment = ProxyEnvironment(record);
    for (const auto& [store, values] : writes) Update(stores, store, values);
  } else {
    applied.firefoxChanged = Update(stores, ProxyStore::Firefox, FirefoxProxyValues(record));
  }
  return applied;
}

}  // namespace norvax
