#include "platform/store/proxy_files.h"

#include <gtest/gtest.h>

#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

TEST(ProxyFiles, ValuesInEachFilesNotation) {
  // Quotes and backslashes (also the second byte of a double-byte character in CP932).
  const std::string host = Sjis("ソ") + "\\\"";
  EXPECT_EQ(UserPrefLiteral(host), "\"ソ\\\\\\\"\"");
  EXPECT_EQ(UserPrefLiteral(8080), "8080");
  EXPECT_EQ(UserPrefLiteral(std::vector<std::string>{}), std::nullopt);
  EXPECT_EQ(KioslavercValue(ProxyAddress{ProxyAddress::Kind::Http, host, std::nullopt}),
            "http://ソ\\\\\"");
  EXPECT_EQ(KioslavercValue(ProxyAddress{ProxyAddress::Kind::Socks, "k", 1080}), "socks://k 1080");
  EXPECT_EQ(KioslavercValue(ProxyAddress{ProxyAddress::Kind::Http, "", 80}), "");
  EXPECT_EQ(KioslavercValue(std::vector<std::string>{"a\\b", Sjis("社内")}), "a\\\\b,社内");
}

// Firefox takes a preference from user.js as its parser reads the file: comments and
// statements it cannot read hold no value, and the last user_pref of a name wins.
TEST(ProxyFiles, UserJsReadsAsFirefoxAndChangesOnlyALineThatHoldsThePreferenceAlone) {
  const std::string type = "network.proxy.type";
  struct Case {
    std::string text;
    std::optional<std::string> value;  // the type as Firefox reads it
    std::optional<std::string> after;  // with the type set to 1; nothing: it cannot be
  } cases[] = {
      {"", std::nullopt, "user_pref(\"network.proxy.type\", 1);\n"},
      // The value alone changes; the rest of the line stays as it was.
      {"/* a\n b */ user_pref( 'network.proxy.type' ,-0 ); // mine\r\nuser_pref(\"x\", 2);", "0",
       "/* a\n b */ user_pref( 'network.proxy.type' ,1 ); // mine\r\nuser_pref(\"x\", 2);"},
      // A line that holds another preference too, or not the whole statement: a line at
      // the end, with the file's line end.
      {"user_pref(\"network.proxy.type\", 0); user_pref(\"browser.startup.homepage\", \"h\");", "0",
       "user_pref(\"network.proxy.type\", 0); user_pref(\"browser.startup.homepage\", \"h\");\n"
       "user_pref(\"network.proxy.type\", 1);\n"},
      {"user_pref(\"network.proxy.type\",\r\n 0);\r\n", "0",
       "user_pref(\"network.proxy.type\",\r\n 0);\r\nuser_pref(\"network.proxy.type\", 1);\r\n"},
      {"user_pref(\"network.proxy.type\", 0);\nuser_pref(\"network.proxy.type\", 5); "
       "user_pref(\"a\", true);\n",
       "5",
       "user_pref(\"network.proxy.type\", 0);\nuser_pref(\"network.proxy.type\", 5); "
       "user_pref(\"a\", true);\nuser_pref(\"network.proxy.type\", 1);\n"},
      // Comments hold no value, nor does a string.
      {"/* user_pref(\"network.proxy.type\", 0); */\n", std::nullopt,
       "/* user_pref(\"network.proxy.type\", 0); */\nuser_pref(\"network.proxy.type\", 1);\n"},
      {"/*\r\nuser_pref(\"network.proxy.type\", 0);\r\n*/ // user_pref(\"network.proxy.type\", "
       "2);\r\n# user_pref(\"network.proxy.type\", 3);\r\nuser_pref(\"s\", \"\\\"user_pref(\");",
       std::nullopt,
       "/*\r\nuser_pref(\"network.proxy.type\", 0);\r\n*/ // user_pref(\"network.proxy.type\", "
       "2);\r\n# user_pref(\"network.proxy.type\", 3);\r\nuser_pref(\"s\", \"\\\"user_pref(\");\r\n"
       "user_pref(\"network.proxy.type\", 1);\r\n"},
      // A statement Firefox cannot read is skipped up to its next ";", here the added line's;
      // a comment left open swallows the added line: the value cannot be set.
      {"user_pref(\"network.proxy.type\", 0)\n", std::nullopt, std::nullopt},
      {"user_pref(\"a\", 4);\n/* open\n", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UserPrefValue(c.text, type), c.value) << c.text;
    EXPECT_EQ(SetUserPref(c.text, type, "1"), c.after) << c.text;
  }
  // Strings with their escapes, as Firefox reads them.
  EXPECT_EQ(UserPrefValue(R"(user_pref("h", 'a\x41\u00e9\'"');)", "h"), std::string(R"("aAé'\"")"));
}

// KDE takes [Proxy Settings] from kioslaverc as KConfig reads it: every block of the group
// (not a subgroup), the last entry of a key, [$d] deleting it, localised entries apart.
TEST(ProxyFiles, KioslavercChangesTheEntryKdeReadsOrAddsOneToTheGroup) {
  struct Case {
    std::string text;
    std::optional<std::string> value;  // of ProxyType
    std::string after;                 // with ProxyType set to 1
  } cases[] = {
      {"[General]\r\nx=1\r\n", std::nullopt,
       "[General]\r\nx=1\r\n\r\n[Proxy Settings]\r\nProxyType=1\r\n"},
      {"[Proxy Settings]\nProxyType=0\n\n[Other]\na=1\n  [Proxy Settings] \n# note\n"
       "ProxyType[$e]=$X\nNoProxyFor=a\n\n",
       "$X",
       "[Proxy Settings]\nProxyType=0\n\n[Other]\na=1\n  [Proxy Settings] \n# note\nProxyType=1\n"
       "NoProxyFor=a\n\n"},
      {"[Proxy Settings]\r\nProxyType=0\r\nProxyType[$d]\r\n", std::nullopt,
       "[Proxy Settings]\r\nProxyType=0\r\nProxyType=1\r\n"},
      {"[Proxy Settings][Sub]\nProxyType=0\n[Proxy Settings]\nProxyType[de]=0\nhttpProxy=h",
       std::nullopt,
       "[Proxy Settings][Sub]\nProxyType=0\n[Proxy Settings]\nProxyType[de]=0\nhttpProxy=h\n"
       "ProxyType=1\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadKdeProxyEntry({{"user", c.text}}, "ProxyType").value, c.value) << c.text;
    EXPECT_EQ(SetKdeProxyValue(c.text, "ProxyType", "1"), c.after) << c.text;
  }
}

// [$i] on the file, the group or the entry locks the key: KDE takes no value for it from
// the files it reads later (the user's after the system's).
TEST(ProxyFiles, KioslavercLocksHoldTheValueOfTheFileThatLocks) {
  struct Case {
    std::string system, user;
    KdeProxyEntry entry;  // of ProxyType
  } cases[] = {
      {"[Proxy Settings]\nProxyType=0\n", "[Proxy Settings]\nProxyType=1\n", {"1", "", ""}},
      {"[Proxy Settings]\nProxyType=0\n\n[Proxy Settings][$i]\n",
       "[Proxy Settings]\nProxyType=1\n",
       {"0", "system", "[Proxy Settings][$i]"}},
      {"", "[Proxy Settings]\nProxyType[$ie]=0\nProxyType=2\n", {"0", "user", "ProxyType[$ie]=0"}},
      {"", "[$i]\n[Proxy Settings]\nProxyType=0\n", {"0", "user", "[$i]"}},
  };
  for (const Case& c : cases) {
    const KdeProxyEntry entry =
        ReadKdeProxyEntry({{"system", c.system}, {"user", c.user}}, "ProxyType");
    EXPECT_EQ(entry.value, c.entry.value) << c.user;
    EXPECT_EQ(entry.lockedIn, c.entry.lockedIn) << c.user;
    EXPECT_EQ(entry.lockedBy, c.entry.lockedBy) << c.user;
  }
}

}  // namespace
}  // namespace norvax
