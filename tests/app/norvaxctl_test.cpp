// norvaxctl's command-line contract, checked against the built program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "test_files.h"

namespace norvax {
namespace {

struct Run {
  int status;
  std::string out;
  std::string err;
};

Run Ctl(const std::string& args) {
  testing::TempDir dir;
  auto errPath = dir / "stderr";
  std::string command = std::string(NORVAXCTL_PATH) + " " + args + " 2>" + errPath.string();
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  int status = pclose(pipe);
  return {WEXITSTATUS(status), out, testing::ReadFile(errPath)};
}

TEST(Norvaxctl, ScrambleAndUnscrambleRoundTripUtf8) {
  auto scrambled = Ctl("scramble 'ﾊﾟｽﾜｰﾄﾞ 秘密'");
  ASSERT_EQ(scrambled.status, 0);
  std::string stored = scrambled.out.substr(0, scrambled.out.size() - 1);
  EXPECT_EQ(stored.size(), 4u * 12 + 6);
  auto plain = Ctl("unscramble " + stored);
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out, "ﾊﾟｽﾜｰﾄﾞ 秘密\n");
}

TEST(Norvaxctl, FailuresGoToStderrWithExitCodes) {
  auto bad = Ctl("unscramble 0012341234");
  EXPECT_EQ(bad.status, 1);
  EXPECT_TRUE(bad.out.empty());
  EXPECT_FALSE(bad.err.empty());

  auto emoji = Ctl("scramble '😀'");
  EXPECT_EQ(emoji.status, 1);
  EXPECT_TRUE(emoji.out.empty());

  for (const char* args : {"", "frobnicate", "scramble", "scramble a b", "check-settings"}) {
    auto usage = Ctl(args);
    EXPECT_EQ(usage.status, 2) << args;
    EXPECT_NE(usage.err.find("usage:"), std::string::npos) << args;
  }
  auto help = Ctl("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("check-settings"), std::string::npos);
}

TEST(Norvaxctl, CheckSettingsReportsWithoutChangingTheFile) {
  testing::TempDir dir;
  auto good = dir / "good.ini";
  auto original = testing::ReadFile(testing::SamplePath("norvax.ini"));
  testing::WriteFile(good, original);
  auto ok = Ctl("check-settings " + good.string());
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.out, "ok entries=4\n");

  auto older = Ctl("check-settings " + testing::SamplePath("norvax-older-format.ini").string());
  EXPECT_EQ(older.out, "ok entries=4\n");

  auto damagedPath = dir / "damaged.ini";
  std::string damaged = original;
  auto at = damaged.find("[LIST03]\r\n0=") + 14;
  damaged[at] = damaged[at] == '0' ? '1' : '0';
  testing::WriteFile(damagedPath, damaged);
  auto result = Ctl("check-settings " + damagedPath.string());
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "damaged\n");
  EXPECT_EQ(testing::ReadFile(damagedPath), damaged);
  EXPECT_EQ(testing::ReadFile(good), original);

  auto missing = Ctl("check-settings " + (dir / "none.ini").string());
  EXPECT_EQ(missing.out, "ok entries=0\n");
}

}  // namespace
}  // namespace norvax
