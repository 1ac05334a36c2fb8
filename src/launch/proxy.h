// The per-entry proxy record and how it reaches the browsers' settings.
#pragma once

#include <array>
#include <string>

namespace norvax {

class Registry;
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

// Takes the window's controls back into the record: the proxy and browser flags (the
// browser flag unchanged when neither is chosen), the server text with the port of every
// protocol without a host dropped, and the exceptions as typed, except that a line break
// separates entries as a semicolon does (the record is one line of the settings file).
void StoreProxyForm(const ProxyForm& form, std::string& flags, std::string& servers,
                    std::string& exceptions);

// Writes the entry's proxy record into the settings of Internet Explorer or Netscape
// Navigator, changing only values that differ. Throws RegistryError.
void ApplyProxySettings(Registry& registry, const EntryTable& table, std::size_t entry);

inline constexpr const char* kIeSettingsKey =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
inline constexpr const char* kNetscapeProxyKey =
    "\\Software\\Netscape\\Netscape Navigator\\Proxy Information";
inline constexpr const char* kNetscapeServicesKey =
    "\\Software\\Netscape\\Netscape Navigator\\Services";

}  // namespace norvax
