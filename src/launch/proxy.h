// The per-entry proxy record and how it reaches the browsers' settings.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "platform/processes.h"

namespace norvax {

class ProxyStores;
class EntryTable;

// Host and port of each protocol: slot 2k the host and 2k + 1 the port of protocol k in the
// order ftp, gopher, http, https, socks.
using ProxyServerList = std::array<std::string, 10>;

inline constexpr std::array<const char*, 5> kProxyProtocols{"ftp", "gopher", "http", "https",
                                                            "socks"};

// Reads "http=hostA:8080;ftp=hostB:21"; items whose protocol is none of the five are ignored.
ProxyServerList ParseProxyServer(const std::string& text);

// The proxy server text of the slots, protocols in their fixed order.
std::string ComposeProxyServer(const ProxyServerList& slots);

// What the proxy settings window shows and takes back.
struct ProxyForm {
  bool useProxy = false;
  enum class Browser { Neither, InternetExplorer, Netscape } browser = Browser::Neither;
  ProxyServerList serverSlots;
  std::string exceptions;
  bool operator==(const ProxyForm&) const = default;
};

// The window's controls for a proxy record (flags, server text, exceptions).
ProxyForm LoadProxyForm(const std::string& flags, const std::string& servers,
                        const std::string& exceptions);

// The rows of the window's server group, top to bottom: caption and host slot (the port
// is the slot after it).
struct ProxyServerRow {
  const char* caption;  // UTF-8
  std::size_t hostSlot;
};
inline constexpr ProxyServerRow kProxyServerRows[] = {
    {"ＨＴＴＰ", 4}, {"Secure", 6}, {"FTP", 0}, {"Gopher", 2}, {"Socks", 8}};

// What can be wrong with the text of a port. A port is none (an empty text) or a decimal
// number from 0 to 65535.
enum class ProxyPortFault { None, NotANumber, TooLarge };
ProxyPortFault CheckProxyPort(const std::string& port);

// The window's message for a port that is no port, naming the row of the protocol whose host
// slot is hostSlot.
std::string ProxyPortMessage(std::size_t hostSlot, ProxyPortFault fault);

// Takes the window's controls back into the record: the proxy and browser flags (the
// browser flag unchanged when neither is chosen), the server text with the port of every
// protocol without a host dropped, and the exceptions as typed, except that a line break
// separates entries as a semicolon does (the record is one line of the settings file).
// A host or port holding a line break, or a port of a host that is no port (as a launch reads
// the text back), is refused instead: the message names the first such row from the top, and
// the record is left as it was.
std::optional<std::string> StoreProxyForm(const ProxyForm& form, std::string& flags,
                                          std::string& servers, std::string& exceptions);

// What applying a proxy record did: the environment the browser is to start with, and
// whether Firefox's preferences changed.
struct ProxyApplied {
  EnvironmentChanges environment;
  bool firefoxChanged = false;
};

// Writes the entry's proxy record where the browser kind it names takes its settings from,
// changing only values that differ: "INTERNET EXPLORE" the desktop's settings (see
// DesktopSettingsStores) and the browser's environment, "NETSCAPE" Firefox's preferences.
// When off, only the switch is written. Throws RegistryError: a value that cannot be read
// ("'%s' の取得に失敗しました") or written ("'%s' の設定に失敗しました", then on a line of
// its own why, when the store says), or a port that is no port (see proxy_values.h); nothing
// is written then.
ProxyApplied ApplyProxySettings(ProxyStores& stores, const EntryTable& table, std::size_t entry);

}  // namespace norvax
