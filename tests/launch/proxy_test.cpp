#include "launch/proxy.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/entry_table.h"
#include "fakes/fake_proxy_stores.h"
#include "fakes/fake_registry.h"
#include "launch/autodial.h"
#include "launch/proxy_values.h"
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

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const RegistryError& e) {
    return e.Message();
  }
  return "no error";
}

TEST(ProxyValues, EachStoreGetsTheRecordAsTypedValues) {
  using S = std::vector<ProxySetting>;
  using List = std::vector<std::string>;
  using A = ProxyAddress;
  const auto http = ProxyAddress::Kind::Http;
  const std::string g = "org.gnome.system.proxy";
  ProxyRecord on{true, ParseProxyServer("http=a:8080;https=s;socks=k:1080;ftp=:21;gopher=o:70"),
                 " localhost ; intranet;;it's;" + Sjis("社内")};
  const List exceptions{"localhost", "127.0.0.0/8", "::1", "intranet", "it's", Sjis("社内")};
  EXPECT_EQ(ProxyBypassList(on.exceptions), exceptions);
  EXPECT_EQ(GSettingsProxyValues(on),
            (S{{g + " use-same-proxy", false},
               {g + " ignore-hosts", exceptions},
               {g + ".http host", "a"},
               {g + ".http port", 8080},
               {g + ".https host", "s"},
               {g + ".https port", 0},
               {g + ".ftp host", "21"},  // an item without ":" names only the host
               {g + ".ftp port", 0},
               {g + ".socks host", "k"},
               {g + ".socks port", 1080},
               {g + " mode", "manual"}}));
  EXPECT_EQ(KdeProxyValues(on), (S{{"httpProxy", A{http, "a", 8080}},
                                   {"httpsProxy", A{http, "s", std::nullopt}},
                                   {"ftpProxy", A{http, "21", std::nullopt}},
                                   {"socksProxy", A{ProxyAddress::Kind::Socks, "k", 1080}},
                                   {"NoProxyFor", exceptions},
                                   {"ProxyType", 1}}));
  EXPECT_EQ(FirefoxProxyValues(on),
            (S{{"network.proxy.http", "a"},
               {"network.proxy.http_port", 8080},
               {"network.proxy.ssl", "s"},
               {"network.proxy.ssl_port", 0},
               {"network.proxy.ftp", "21"},
               {"network.proxy.ftp_port", 0},
               {"network.proxy.socks", "k"},
               {"network.proxy.socks_port", 1080},
               {"network.proxy.no_proxies_on", " localhost , intranet,,it's," + Sjis("社内")},
               {"network.proxy.type", 1}}));
  EnvironmentChanges env = ProxyEnvironment(on);
  EXPECT_EQ(env["http_proxy"], "http://a:8080");
  EXPECT_EQ(env["HTTPS_PROXY"], "http://s");
  EXPECT_EQ(env["all_proxy"], "socks5://k:1080");
  EXPECT_EQ(env["NO_PROXY"], "localhost,127.0.0.0/8,::1,intranet,it's," + Sjis("社内"));
  EXPECT_EQ(env.size(), 10u);

  // Off: the switch alone, and no proxy variable reaches the browser.
  ProxyRecord off{false, on.slots, on.exceptions};
  EXPECT_EQ(GSettingsProxyValues(off), (S{{g + " mode", "none"}}));
  EXPECT_EQ(KdeProxyValues(off), (S{{"ProxyType", 0}}));
  EXPECT_EQ(FirefoxProxyValues(off), (S{{"network.proxy.type", 0}}));
  for (const auto& [name, value] : ProxyEnvironment(off)) EXPECT_EQ(value, "") << name;

  // Empty slots clear their protocol; a port without its host is dropped. Without exceptions
  // the loopback addresses still go direct.
  ProxyRecord portOnly{true, ParseProxyServer(":8080"), ""};
  const List loopback{"localhost", "127.0.0.0/8", "::1"};
  EXPECT_EQ(GSettingsProxyValues(portOnly)[1].value, ProxyValue(loopback));
  EXPECT_EQ(KdeProxyValues(portOnly)[4].value, ProxyValue(loopback));
  EXPECT_EQ(ProxyEnvironment(portOnly)["no_proxy"], "localhost,127.0.0.0/8,::1");
  EXPECT_EQ(GSettingsProxyValues(portOnly)[3].value, ProxyValue(0));
  EXPECT_EQ(KdeProxyValues(portOnly)[0].value, ProxyValue(A{http, "", std::nullopt}));
  EXPECT_EQ(ProxyEnvironment(portOnly)["http_proxy"], "");
}

// A port is a decimal number from 0 to 65535 (or none): the window's OK refuses any other
// with a message naming its row, and a launch of a record stored before refuses it too.
TEST(ProxyValues, APortIsADecimalNumberUpTo65535WhereEnteredAndAtLaunch) {
  const std::string notANumber =
      Sjis("「Secure」のﾎﾟｰﾄが数字ではありません。0 ～ 65535 を入力して下さい。");
  const std::string tooLarge =
      Sjis("「Secure」のﾎﾟｰﾄが大きすぎます。0 ～ 65535 を入力して下さい。");
  struct Case {
    std::string port, entered, launched;  // the messages; empty: taken
  } cases[] = {
      {"", "", ""},
      {"65535", "", ""},
      {"x-5", notANumber, Sjis("'x-5' は整数ではありません")},
      {"65536", tooLarge, tooLarge},
      {"99999999999999999999", tooLarge, tooLarge},
  };
  for (const auto& c : cases) {
    std::string flags = "110", servers = "http=a:1", exceptions;
    ProxyForm form = LoadProxyForm(flags, servers, exceptions);
    form.serverSlots[6] = "s";
    form.serverSlots[7] = c.port;
    EXPECT_EQ(StoreProxyForm(form, flags, servers, exceptions).value_or(""), c.entered) << c.port;
    EXPECT_EQ(servers, c.entered.empty() ? ComposeProxyServer(form.serverSlots) : "http=a:1");

    // A launch of such a record stored by an older NORVAX, before anything is written.
    const ProxyRecord stored{true, ParseProxyServer("https=s:" + c.port), ""};
    const std::string launched = c.launched.empty() ? "no error" : c.launched;
    EXPECT_EQ(ErrorOf([&] { GSettingsProxyValues(stored); }), launched) << c.port;
    EXPECT_EQ(ErrorOf([&] { KdeProxyValues(stored); }), launched) << c.port;
  }
  // The ports are those a launch reads back from the text: a ":" in a host starts one.
  std::string flags = "110", servers, exceptions;
  ProxyForm form;
  form.serverSlots[6] = "s:x-5";
  EXPECT_EQ(StoreProxyForm(form, flags, servers, exceptions).value_or(""), notANumber);
}

struct ApplyProxy : ::testing::Test {
  fakes::FakeProxyStores stores;
  EntryTable table;
  const std::string mode = "org.gnome.system.proxy mode";

  void Entry(const std::string& flags, const std::string& servers, const std::string& exceptions) {
    norvax::Entry e = norvax::Entry::New();
    e[Column::ProxyFlags] = flags;
    e[Column::ProxyServers] = servers;
    e[Column::ProxyExceptions] = exceptions;
    table.Clear();
    table.Append(e);
  }
  ProxyApplied Apply() { return ApplyProxySettings(stores, table, 0); }
};

TEST_F(ApplyProxy, TheDesktopPicksTheStoresAndOnlyDifferencesAreWritten) {
  stores.present = {ProxyStore::GSettings, ProxyStore::Kde, ProxyStore::Firefox};
  Entry("110", "http=a:8080", "localhost");
  struct Case {
    std::string desktop;
    std::vector<ProxyStore> written;
  } cases[] = {
      {"GNOME", {ProxyStore::GSettings}},
      {"ubuntu:GNOME", {ProxyStore::GSettings}},
      {"KDE", {ProxyStore::Kde}},
      {"XFCE", {ProxyStore::GSettings, ProxyStore::Kde}},
  };
  for (const auto& c : cases) {
    stores.values.clear();
    stores.writes.clear();
    stores.desktop = c.desktop;
    const ProxyApplied applied = Apply();
    std::vector<ProxyStore> written;
    for (const auto& w : stores.writes) written.push_back(w.first);
    EXPECT_EQ(written, c.written) << c.desktop;
    EXPECT_EQ(applied.environment.at("http_proxy"), "http://a:8080");
    EXPECT_FALSE(applied.firefoxChanged);
  }
  // Again: everything is as it should be, nothing is written.
  stores.writes.clear();
  Apply();
  EXPECT_TRUE(stores.writes.empty());
  // Off touches only the switch.
  Entry("100", "http=other:1", "");
  Apply();
  ASSERT_EQ(stores.writes.size(), 2u);
  EXPECT_EQ(stores.writes[0].second, (std::vector<ProxySetting>{{mode, "none"}}));
  EXPECT_EQ(stores.values[ProxyStore::GSettings]["org.gnome.system.proxy.http host"],
            ProxyValue("a"));
  // Any character but "0" at the last position selects Firefox's preferences.
  Entry("11x", "http=a:8080", "");
  EXPECT_TRUE(Apply().firefoxChanged);
  EXPECT_EQ(stores.values[ProxyStore::Firefox]["network.proxy.http"], ProxyValue("a"));
  EXPECT_FALSE(Apply().firefoxChanged);
}

TEST_F(ApplyProxy, FailuresCarryTheRegistryLayersMessagesAndWriteNothing) {
  Entry("111", "http=a:8080", "");
  stores.failure = Sjis("理由");
  EXPECT_EQ(ErrorOf([&] { Apply(); }), Sjis("'network.proxy.http' の設定に失敗しました\n理由"))
      << "no Firefox profile: nothing to read, the first write fails and the store says why";
  stores.failure.clear();
  stores.present = {ProxyStore::Firefox};
  stores.unreadable = {ProxyStore::Firefox};
  EXPECT_EQ(ErrorOf([&] { Apply(); }), Sjis("'network.proxy.http' の取得に失敗しました"));
  stores.unreadable.clear();
  stores.readOnly = {ProxyStore::Firefox};
  stores.values[ProxyStore::Firefox]["network.proxy.http"] = "a";
  EXPECT_EQ(ErrorOf([&] { Apply(); }), Sjis("\'network.proxy.http_port\' の設定に失敗しました"))
      << "the message names the first value that differs";
  Entry("110", "http=a:8080", "");
  EXPECT_EQ(ErrorOf([&] { Apply(); }),
            Sjis("'org.gnome.system.proxy use-same-proxy' の設定に失敗しました"))
      << "neither desktop store present";
  stores.desktop = "XFCE";
  stores.present = {ProxyStore::GSettings, ProxyStore::Kde};
  Entry("110", "http=a:x", "");
  EXPECT_EQ(ErrorOf([&] { Apply(); }), Sjis("'x' は整数ではありません"));
  EXPECT_TRUE(stores.writes.empty());
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
