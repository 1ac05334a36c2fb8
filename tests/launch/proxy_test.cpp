#include "launch/proxy.h"

#include <gtest/gtest.h>

#include "core/entry_table.h"
#include "fakes/fake_registry.h"
#include "launch/autodial.h"
#include "launch/registry_access.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

TEST(ProxyServer, ParseTakesHostsAndPortsOfKnownProtocols) {
  auto slots = ParseProxyServer("http=hostA:8080;ftp=hostB");
  EXPECT_EQ(slots[4], "hostA");
  EXPECT_EQ(slots[5], "8080");
  EXPECT_EQ(slots[0], "hostB");
  EXPECT_EQ(slots[1], "");
  EXPECT_EQ(ParseProxyServer("hostA:8080"), ProxyServerList{});
  EXPECT_EQ(ParseProxyServer("HTTP=x:1"), ProxyServerList{}) << "protocol names are case-sensitive";
  auto socks = ParseProxyServer("socks=s:1080;https=h:443;gopher=g");
  EXPECT_EQ(socks[8], "s");
  EXPECT_EQ(socks[9], "1080");
  EXPECT_EQ(socks[6], "h");
  EXPECT_EQ(socks[2], "g");
}

TEST(ProxyServer, ComposeWritesProtocolsInOrder) {
  ProxyServerList slots;
  slots[6] = "secure";
  slots[7] = "443";
  EXPECT_EQ(ComposeProxyServer(slots), "https=secure:443");
  slots[0] = "f";
  EXPECT_EQ(ComposeProxyServer(slots), "ftp=f;https=secure:443");
  ProxyServerList portOnly;
  portOnly[5] = "8080";
  EXPECT_EQ(ComposeProxyServer(portOnly), ":8080");
  auto round = ParseProxyServer("ftp=b:21;http=a:8080;socks=s");
  EXPECT_EQ(ComposeProxyServer(round), "ftp=b:21;http=a:8080;socks=s");
}

struct ProxyFixture : ::testing::Test {
  fakes::FakeRegistry registry;
  EntryTable table;

  ProxyFixture() {
    registry.AddKey(kIeSettingsKey);
    registry.AddKey(kNetscapeProxyKey);
    registry.AddKey(kNetscapeServicesKey);
    for (const char* port :
         {"Proxy Type", "Ftp_ProxyPort", "Gopher_ProxyPort", "Http_ProxyPort", "HTTPS_ProxyPort"}) {
      registry.keys[Cp932UpperAscii("Software\\Netscape\\Netscape Navigator\\Proxy Information")]
                   [port] = RegistryValue::Integer(0);
    }
    registry.keys[Cp932UpperAscii("Software\\Netscape\\Netscape Navigator\\Services")]
                 ["SOCKS_ServerPort"] = RegistryValue::Integer(0);
  }
  void Entry(const std::string& flags, const std::string& servers, const std::string& exceptions) {
    norvax::Entry e = norvax::Entry::New();
    e[Column::ProxyFlags] = flags;
    e[Column::ProxyServers] = servers;
    e[Column::ProxyExceptions] = exceptions;
    table.Clear();
    table.Append(e);
  }
  std::optional<RegistryValue> Ie(const char* name) { return registry.Read(kIeSettingsKey, name); }
  std::optional<RegistryValue> Ns(const char* name) {
    return registry.Read(kNetscapeProxyKey, name);
  }
};

TEST_F(ProxyFixture, InternetExplorerOnWritesServerAndExceptionsOnce) {
  Entry("110", "http=a:8080", "localhost;intranet");
  registry.Write(kIeSettingsKey, "ProxyEnable",
                 RegistryValue::Binary(std::string("\x02\x00\x00\x00", 4)));
  registry.writes.clear();
  ApplyProxySettings(registry, table, 0);
  EXPECT_EQ(Ie("ProxyEnable"), RegistryValue::Binary(std::string("\x03\x00\x00\x00", 4)));
  EXPECT_EQ(Ie("ProxyServer"), RegistryValue::String("http=a:8080"));
  EXPECT_EQ(Ie("ProxyOverride"), RegistryValue::String("localhost;intranet"));
  registry.writes.clear();
  ApplyProxySettings(registry, table, 0);
  EXPECT_TRUE(registry.writes.empty()) << "values already equal are not written";
}

TEST_F(ProxyFixture, InternetExplorerOffChangesOnlyBitZero) {
  Entry("110", "http=a:8080", "x");
  ApplyProxySettings(registry, table, 0);
  Entry("100", "http=other:1", "y");
  ApplyProxySettings(registry, table, 0);
  EXPECT_EQ(Ie("ProxyEnable"), RegistryValue::Binary(std::string(4, '\0')));
  EXPECT_EQ(Ie("ProxyServer"), RegistryValue::String("http=a:8080"));
  EXPECT_EQ(Ie("ProxyOverride"), RegistryValue::String("x"));
}

TEST_F(ProxyFixture, NetscapeGetsSlotsPortsAndCommaExceptions) {
  Entry("111", "http=a:8080;socks=s:1080;ftp=f", "localhost;intranet");
  ApplyProxySettings(registry, table, 0);
  EXPECT_EQ(Ns("Proxy Type"), RegistryValue::Integer(1));
  EXPECT_EQ(Ns("HTTP_Proxy"), RegistryValue::String("a"));
  EXPECT_EQ(Ns("Http_ProxyPort"), RegistryValue::Integer(8080));
  EXPECT_EQ(Ns("FTP_Proxy"), RegistryValue::String("f"));
  EXPECT_EQ(Ns("Ftp_ProxyPort"), RegistryValue::Integer(0));
  EXPECT_EQ(Ns("No_Proxy"), RegistryValue::String("localhost,intranet"));
  EXPECT_EQ(registry.Read(kNetscapeServicesKey, "SOCKS_Server"), RegistryValue::String("s"));
  EXPECT_EQ(registry.Read(kNetscapeServicesKey, "SOCKS_ServerPort"), RegistryValue::Integer(1080));
  // Any character but "0" at the last position selects Netscape.
  Entry("10x", "", "");
  ApplyProxySettings(registry, table, 0);
  EXPECT_EQ(Ns("Proxy Type"), RegistryValue::Integer(0));
  EXPECT_EQ(Ns("HTTP_Proxy"), RegistryValue::String("a")) << "off touches only the type";
}

TEST_F(ProxyFixture, RegistryFailuresCarryTheLayersMessages) {
  auto messageOf = [&](auto&& action) {
    try {
      action();
    } catch (const RegistryError& e) {
      return e.Message();
    }
    return std::string("no error");
  };
  Entry("111", "http=a:80x", "");
  EXPECT_EQ(messageOf([&] { ApplyProxySettings(registry, table, 0); }),
            Sjis("'80x' は整数ではありません"));
  registry.keys[Cp932UpperAscii("Software\\Netscape\\Netscape Navigator\\Proxy Information")].erase(
      "Proxy Type");
  EXPECT_EQ(messageOf([&] { ApplyProxySettings(registry, table, 0); }),
            Sjis("'Proxy Type' の取得に失敗しました"));
  Entry("110", "", "");
  registry.Write(kIeSettingsKey, "ProxyEnable", RegistryValue::Integer(1));
  EXPECT_EQ(messageOf([&] { ApplyProxySettings(registry, table, 0); }),
            Sjis("'ProxyEnable' のﾃﾞｰﾀ型が不正です"));
  registry.Write(kIeSettingsKey, "ProxyEnable", RegistryValue::Binary(std::string(5, '\0')));
  EXPECT_EQ(messageOf([&] { ApplyProxySettings(registry, table, 0); }),
            Sjis("'ProxyEnable' のﾃﾞｰﾀ型が不正です"));
  registry.keys.erase(
      Cp932UpperAscii("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"));
  EXPECT_EQ(messageOf([&] { ApplyProxySettings(registry, table, 0); }),
            Sjis("'ProxyEnable' の設定に失敗しました"))
      << "a missing key shows at its first write";
}

TEST(Autodial, WritesOnlyWhatDiffersAndReportsTheOutcome) {
  fakes::FakeRegistry registry;
  RegistryResult result = RegistryResult::NothingDone;
  SetAutodialProfile(registry, "Provider", result);
  EXPECT_EQ(result, RegistryResult::Failed);

  registry.AddKey(kAutodialKey);
  SetAutodialProfile(registry, "/N", result = RegistryResult::NothingDone);
  EXPECT_EQ(result, RegistryResult::NothingDone);
  EXPECT_TRUE(registry.writes.empty());

  SetAutodialProfile(registry, "Provider", result);
  EXPECT_EQ(result, RegistryResult::Written);
  EXPECT_EQ(registry.Read(kAutodialKey, kAutodialValue), RegistryValue::String("Provider"));
  registry.writes.clear();
  SetAutodialProfile(registry, "Provider", result);
  EXPECT_TRUE(registry.writes.empty()) << "an equal value is not written again";
  SetAutodialProfile(registry, "provider", result);
  EXPECT_EQ(registry.writes.size(), 1u) << "the comparison is case-sensitive";

  registry.Write(kAutodialKey, kAutodialValue, RegistryValue::Integer(3));
  EXPECT_THROW(SetAutodialProfile(registry, "Provider", result), RegistryError);
  registry.Write(kAutodialKey, kAutodialValue, RegistryValue::String("x"));
  registry.failWrites = true;
  EXPECT_THROW(SetAutodialProfile(registry, "Provider", result), RegistryError);
}

}  // namespace
}  // namespace norvax

namespace norvax {
namespace {

TEST(ProxyForm, OkRuleDropsPortsWithoutHostAndKeepsUnchosenBrowser) {
  std::string flags = "1x9", servers, exceptions;
  ProxyForm form = LoadProxyForm(flags, "http=a:8080;ftp=:21", "");
  EXPECT_EQ(form.browser, ProxyForm::Browser::Neither);
  EXPECT_EQ(form.serverSlots[0], "21") << "an item with an empty host takes its port as host";
  form.serverSlots[0] = "";
  form.useProxy = true;
  form.serverSlots[6] = "";
  form.serverSlots[7] = "443";
  StoreProxyForm(form, flags, servers, exceptions);
  EXPECT_EQ(flags, "119") << "position 0 untouched, position 2 kept when no browser is chosen";
  EXPECT_EQ(servers, "http=a:8080");
  form.browser = ProxyForm::Browser::InternetExplorer;
  form.exceptions = "localhost;intranet";
  StoreProxyForm(form, flags, servers, exceptions);
  EXPECT_EQ(flags, "110");
  EXPECT_EQ(exceptions, "localhost;intranet");
  form.exceptions = "a.local\r\nb.local\nc.local";
  StoreProxyForm(form, flags, servers, exceptions);
  EXPECT_EQ(exceptions, "a.local;b.local;c.local") << "line breaks never reach the settings file";
  // A server field with a line break is refused, naming the first such row from the top.
  form.serverSlots[0] = "ftp\n";
  form.serverSlots[5] = "80\r";
  form.useProxy = false;
  EXPECT_EQ(StoreProxyForm(form, flags, servers, exceptions), LineBreakMessage("ＨＴＴＰ"));
  EXPECT_EQ(flags, "110");
  EXPECT_EQ(servers, "http=a:8080");
  EXPECT_EQ(LoadProxyForm("011", "", "").browser, ProxyForm::Browser::Netscape);
}

}  // namespace
}  // namespace norvax
