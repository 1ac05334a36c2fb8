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

}  // namespace
}  // namespace norvax
