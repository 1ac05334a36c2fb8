#include "platform/proxy/desktop_proxy_stores.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "test_files.h"

namespace norvax {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::Sjis;
using testing::WriteFile;

fs::path Home() { return std::getenv("HOME"); }

bool Holds(ProxyStores& stores, ProxyStore store, const ProxySetting& setting) {
  bool held = false;
  EXPECT_TRUE(stores.Holds(store, setting, held)) << setting.name;
  return held;
}

bool Write(ProxyStores& stores, ProxyStore store, const std::vector<ProxySetting>& values) {
  std::string why;
  const bool written = stores.Write(store, values, why);
  EXPECT_EQ(written, why.empty()) << why;
  return written;
}

TEST(DesktopProxyStores, FilesKeepEveryOtherByteAndAFailedWriteLeavesThemAsTheyWere) {
  DesktopProxyStores stores;
  const fs::path firefox = Home() / ".mozilla" / "firefox";
  fs::remove_all(firefox);
  EXPECT_FALSE(stores.Present(ProxyStore::Firefox));
  EXPECT_FALSE(Holds(stores, ProxyStore::Firefox, {"network.proxy.type", 0}));
  EXPECT_FALSE(Write(stores, ProxyStore::Firefox, {{"network.proxy.type", 1}}));

  // The install's default wins over Default=1; its user.js is a link, and stays one.
  fs::create_directories(firefox / "old.default");
  fs::create_directories(firefox / "new.install");
  WriteFile(firefox / "profiles.ini",
            "[Profile0]\nPath=old.default\nDefault=1\n\n[Install4F96D1932A9F858E]\n"
            "Default=new.install\nLocked=1\n");
  const std::string before =
      "// mine\r\nuser_pref(\"network.proxy.type\", 0);\r\nuser_pref(\"x\", 1);";
  WriteFile(firefox / "real.js", before);
  fs::create_symlink("../real.js", firefox / "new.install" / "user.js");
  ASSERT_TRUE(stores.Present(ProxyStore::Firefox));
  ASSERT_TRUE(
      Write(stores, ProxyStore::Firefox, {{"network.proxy.type", 1}, {"network.proxy.http", "h"}}));
  EXPECT_EQ(ReadFile(firefox / "real.js"),
            "// mine\r\nuser_pref(\"network.proxy.type\", 1);\r\nuser_pref(\"x\", 1);\r\n"
            "user_pref(\"network.proxy.http\", \"h\");\r\n");
  EXPECT_TRUE(fs::is_symlink(firefox / "new.install" / "user.js"));
  EXPECT_TRUE(Holds(stores, ProxyStore::Firefox, {"network.proxy.http", "h"}));
  chmod((firefox / "real.js").c_str(), 0444);
  const std::string written = ReadFile(firefox / "real.js");
  EXPECT_FALSE(Write(stores, ProxyStore::Firefox, {{"network.proxy.type", 0}}));
  EXPECT_EQ(ReadFile(firefox / "real.js"), written);

  const fs::path kioslaverc = Home() / ".config" / "kioslaverc";
  fs::create_directories(kioslaverc.parent_path());
  WriteFile(kioslaverc, "[General]\nx=1\n\n[Proxy Settings]\nProxyType = 0\n\n[Other]\ny=2\n");
  ASSERT_TRUE(stores.Present(ProxyStore::Kde));
  const ProxyAddress h{ProxyAddress::Kind::Http, "h", 80};
  ASSERT_TRUE(Write(stores, ProxyStore::Kde, {{"ProxyType", 1}, {"httpProxy", h}}));
  EXPECT_EQ(ReadFile(kioslaverc),
            "[General]\nx=1\n\n[Proxy Settings]\nProxyType=1\nhttpProxy=http://h 80\n\n"
            "[Other]\ny=2\n");
  EXPECT_TRUE(Holds(stores, ProxyStore::Kde, {"httpProxy", h}));
  chmod(kioslaverc.c_str(), 0444);
  EXPECT_FALSE(Write(stores, ProxyStore::Kde, {{"ProxyType", 0}}));
  EXPECT_TRUE(Holds(stores, ProxyStore::Kde, {"ProxyType", 1}));
  // A group locked here or in the system's file ([$i]) takes no change: KDE keeps its values.
  const fs::path system = Home() / "xdg" / "kioslaverc";  // XDG_CONFIG_DIRS
  fs::create_directories(system.parent_path());
  const std::pair<std::string, std::string> locks[] = {
      {"[Proxy Settings][$i]\nProxyType=0\n", ""},
      {"", "[Proxy Settings]\nProxyType=0\n\n[Proxy Settings][$i]\n"},
  };
  for (const auto& [user, systemText] : locks) {
    chmod(kioslaverc.c_str(), 0644);
    WriteFile(kioslaverc, user);
    WriteFile(system, systemText);
    std::string why;
    EXPECT_FALSE(stores.Write(ProxyStore::Kde, {{"ProxyType", 1}}, why)) << user << systemText;
    EXPECT_EQ(why, (user.empty() ? system : kioslaverc).string() +
                       Sjis(": [Proxy Settings][$i] のため変更できません"));
    EXPECT_EQ(ReadFile(kioslaverc), user);
  }
  fs::remove(system);
  fs::remove(kioslaverc);

  // GSettings: a value out of its key's range, or not of its type, fails the whole write.
  ASSERT_TRUE(stores.Present(ProxyStore::GSettings));
  const std::string mode = "org.gnome.system.proxy mode";
  ASSERT_TRUE(Write(stores, ProxyStore::GSettings, {{mode, "none"}}));
  EXPECT_FALSE(Write(stores, ProxyStore::GSettings,
                     {{mode, "manual"}, {"org.gnome.system.proxy.http port", 70000}}));
  EXPECT_FALSE(Write(stores, ProxyStore::GSettings,
                     {{mode, "manual"}, {"org.gnome.system.proxy.http port", "80"}}));
  EXPECT_TRUE(Holds(stores, ProxyStore::GSettings, {mode, "none"}));
  const std::vector<std::string> hosts{"localhost", "intranet"};
  ASSERT_TRUE(Write(stores, ProxyStore::GSettings,
                    {{mode, "manual"}, {"org.gnome.system.proxy ignore-hosts", hosts}}));
  EXPECT_TRUE(Holds(stores, ProxyStore::GSettings, {mode, "manual"}));
  EXPECT_TRUE(Holds(stores, ProxyStore::GSettings, {"org.gnome.system.proxy ignore-hosts", hosts}));
}

// Firefox keeps its profiles in ~/.mozilla/firefox when that folder is there (or
// MOZ_LEGACY_HOME=1 says so), else in $XDG_CONFIG_HOME/mozilla/firefox: user.js goes to the
// default profile of the folder it reads, and a folder without one is named.
TEST(DesktopProxyStores, FirefoxProfileIsTakenFromTheFolderFirefoxReads) {
  DesktopProxyStores stores;
  const fs::path legacy = Home() / ".mozilla" / "firefox";
  const fs::path xdg = fs::path(std::getenv("XDG_CONFIG_HOME")) / "mozilla" / "firefox";
  struct Case {
    std::vector<fs::path> withProfile, empty;
    bool forceLegacy;
    fs::path read;
    bool found;
  } cases[] = {
      {{xdg}, {}, false, xdg, true},
      {{xdg}, {Home() / ".mozilla"}, false, xdg, true},
      {{xdg, legacy}, {}, false, legacy, true},
      {{xdg}, {legacy}, false, legacy, false},
      {{xdg}, {}, true, legacy, false},
      {{}, {}, false, xdg, false},
  };
  for (const auto& c : cases) {
    fs::remove_all(Home() / ".mozilla");
    fs::remove_all(xdg.parent_path());
    for (const fs::path& folder : c.withProfile) {
      fs::create_directories(folder / "p");
      WriteFile(folder / "profiles.ini", "[Profile0]\nPath=p\nDefault=1\n");
    }
    for (const fs::path& folder : c.empty) fs::create_directories(folder);
    if (c.forceLegacy) setenv("MOZ_LEGACY_HOME", "1", 1);
    std::string why;
    EXPECT_EQ(stores.Write(ProxyStore::Firefox, {{"network.proxy.type", 1}}, why), c.found)
        << c.read;
    if (c.found) {
      EXPECT_EQ(ReadFile(c.read / "p" / "user.js"), "user_pref(\"network.proxy.type\", 1);\n");
    } else {
      EXPECT_EQ(why, c.read.string() + Sjis(" に Firefox のプロファイルがありません"));
    }
    unsetenv("MOZ_LEGACY_HOME");
  }
}

TEST(DesktopProxyStores, GSettingsTakeTheSwitchLast) {
  DesktopProxyStores stores;
  const std::string g = "org.gnome.system.proxy";
  ASSERT_TRUE(
      Write(stores, ProxyStore::GSettings,
            {{g + " mode", "none"}, {g + " use-same-proxy", true}, {g + ".http host", ""}}));
  std::vector<std::string> changed;
  auto record = +[](GSettings*, const char* key, gpointer keys) {
    static_cast<std::vector<std::string>*>(keys)->push_back(key);
  };
  GSettings* watched[] = {g_settings_new(g.c_str()), g_settings_new((g + ".http").c_str())};
  for (GSettings* settings : watched) {
    g_signal_connect(settings, "changed", G_CALLBACK(record), &changed);
  }
  ASSERT_TRUE(
      Write(stores, ProxyStore::GSettings,
            {{g + " use-same-proxy", false}, {g + ".http host", "h"}, {g + " mode", "manual"}}));
  EXPECT_EQ(changed, (std::vector<std::string>{"use-same-proxy", "host", "mode"}));
  for (GSettings* settings : watched) g_object_unref(settings);
}

}  // namespace
}  // namespace norvax
