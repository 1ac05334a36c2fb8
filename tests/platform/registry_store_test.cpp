#include "platform/store/registry_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "test_files.h"

namespace norvax {
namespace {

const std::string kIe = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

TEST(RegistryStore, FreshStoreHoldsTheDesktopKeys) {
  testing::TempDir dir;
  RegistryStore store((dir / "registry.reg").string());
  EXPECT_TRUE(store.KeyExists("RemoteAccess"));
  EXPECT_TRUE(store.KeyExists("\\remoteaccess"));
  EXPECT_EQ(store.Read("RemoteAccess", "InternetProfile"), RegistryValue::String(""));
  EXPECT_FALSE(store.KeyExists(kIe)) << "the proxy settings go to the browsers' own stores";
  EXPECT_FALSE(store.Read("RemoteAccess", "Missing"));
  EXPECT_FALSE(store.KeyExists("Software\\Missing"));
  EXPECT_FALSE(std::filesystem::exists(dir / "registry.reg")) << "nothing written by reading";
}

TEST(RegistryStore, ValuesOfEveryTypeReadBackExactly) {
  testing::TempDir dir;
  auto path = (dir / "registry.reg").string();
  const RegistryValue values[] = {
      RegistryValue::String(testing::Sjis("表示\\\"接続\"")),  // 0x5C as a trail byte and alone
      RegistryValue::String(""),
      RegistryValue::String("x\x81"),  // ends in a lead byte without its trail byte
      RegistryValue::Integer(0xDEADBEEF),
      RegistryValue::Binary(std::string("\x01\x00\xFF\x80", 4)),
      RegistryValue::Binary(""),
  };
  for (const auto& v : values) {
    ASSERT_TRUE(RegistryStore(path).Write("RemoteAccess", "InternetProfile", v));
    EXPECT_EQ(RegistryStore(path).Read("RemoteAccess", "internetprofile"), v);
  }
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_NE(testing::ReadFile(path).find("[HKEY_CURRENT_USER\\RemoteAccess]\r\n"),
            std::string::npos);
}

TEST(RegistryStore, KeysAreNeverCreatedAndFailuresReported) {
  testing::TempDir dir;
  auto path = (dir / "registry.reg").string();
  RegistryStore store(path);
  EXPECT_FALSE(store.Write("Software\\Missing", "x", RegistryValue::Integer(1)));
  EXPECT_FALSE(store.KeyExists("Software\\Missing"));
  ASSERT_TRUE(store.Write("RemoteAccess", "InternetProfile", RegistryValue::String("a")));
  chmod(path.c_str(), 0400);
  EXPECT_FALSE(store.Write("RemoteAccess", "InternetProfile", RegistryValue::String("b")));
  EXPECT_EQ(store.Read("RemoteAccess", "InternetProfile"), RegistryValue::String("a"));
}

TEST(RegistryStore, AWriteKeepsEveryOtherLineByteForByte) {
  testing::TempDir dir;
  auto path = dir / "registry.reg";
  const std::string before =
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\RemoteAccess]\n\"InternetProfile\"=\"machine\"\n"
      "; a comment\n[hkey_current_user\\RemoteAccess\\]\n\"InternetProfile\"=\"mine\"\r\n"
      "\"Bad\"=dword:123\n\"Wide\"=hex:00,\\\n  01\n[HKEY_CURRENT_USER\\Empty]\r";
  testing::WriteFile(path, before);
  RegistryStore store(path.string());
  EXPECT_EQ(store.Read("RemoteAccess", "InternetProfile"), RegistryValue::String("mine"));
  EXPECT_FALSE(store.Read("RemoteAccess", "Bad"));
  EXPECT_FALSE(store.KeyExists(kIe));
  ASSERT_TRUE(store.Write("RemoteAccess", "InternetProfile", RegistryValue::String("new")));
  ASSERT_TRUE(store.Write("Empty", "Added", RegistryValue::Integer(1)));
  std::string after = before;
  after.replace(after.find("mine"), 4, "new");
  // The file's last line ended in a lone CR: the added line follows a whole line break.
  EXPECT_EQ(testing::ReadFile(path), after + "\n\"Added\"=dword:00000001\r\n");
  EXPECT_EQ(store.Read("Empty", "Added"), RegistryValue::Integer(1));
}

}  // namespace
}  // namespace norvax
