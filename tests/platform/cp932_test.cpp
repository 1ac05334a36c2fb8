#include "platform/cp932.h"

#include <gtest/gtest.h>

#include "platform/program_directory.h"
#include "test_files.h"

namespace norvax {
namespace {

TEST(Cp932, RoundTripsJapaneseAndHalfWidthKana) {
  auto sjis = Utf8ToCp932("夜間ﾌﾟﾛﾊﾞｲﾀﾞ～①");
  ASSERT_TRUE(sjis);
  // Half-width katakana are one byte; the wave dash maps to 0x8160 in CP932.
  EXPECT_EQ(sjis->substr(0, 4), "\x96\xE9\x8A\xD4");
  EXPECT_EQ(static_cast<unsigned char>((*sjis)[4]), 0xCCu);
  EXPECT_EQ(Cp932ToUtf8(*sjis), "夜間ﾌﾟﾛﾊﾞｲﾀﾞ～①");
  // CP932, not Shift_JIS: the backslash and tilde stay ASCII.
  EXPECT_EQ(*Utf8ToCp932("C:\\~"), "C:\\~");
}

TEST(Cp932, RefusesTextWithoutCp932Form) {
  EXPECT_FALSE(Utf8ToCp932("ok 😀"));
  EXPECT_FALSE(Utf8ToCp932("\xFF"));
  try {
    RequireCp932("abc😀", "タイトル");
    FAIL();
  } catch (const EncodingError& e) {
    EXPECT_NE(std::string(e.what()).find("タイトル"), std::string::npos);
  }
  EXPECT_EQ(Cp932ForDisplay("a😀b"), "a?b");
}

TEST(Cp932, BrokenBytesShowAsReplacement) { EXPECT_EQ(Cp932ToUtf8("a\x82"), "a\xEF\xBF\xBD"); }

TEST(Cp932, CaseFoldingAndPrefixRespectDoubleByteCharacters) {
  EXPECT_EQ(Cp932UpperAscii("ab\x82\x61z"), "AB\x82\x61Z");
  EXPECT_EQ(Cp932Prefix("ab\x82\xA0", 3), "ab");
  EXPECT_EQ(Cp932Prefix("ab\x82\xA0", 4), "ab\x82\xA0");
  EXPECT_EQ(Cp932Prefix("ab\x82", 3), "ab");
  EXPECT_EQ(Cp932Prefix("ab\x82", 4), "ab\x82") << "a lead byte with room for its pair stays";
  EXPECT_EQ(Cp932Prefix("\xB1\xB2\xB3", 2), "\xB1\xB2") << "half-width kana are single bytes";
}

TEST(ProgramDirectory, ExecutableFolderWhenWritableElseConfigFolder) {
  testing::TempDir dir;
  EXPECT_EQ(ProgramDirectoryFor(dir / "norvax", nullptr, "/nonexistent"), dir.Path());
  auto config = dir / "config";
  EXPECT_EQ(ProgramDirectoryFor("/nonexistent/bin/norvax", config.c_str(), "/nonexistent"),
            config / "norvax");
  EXPECT_TRUE(std::filesystem::is_directory(config / "norvax"));
  EXPECT_EQ(ProgramDirectoryFor("/nonexistent/bin/norvax", "", dir.Path().c_str()),
            dir / ".config" / "norvax");
}

TEST(ProgramDirectory, HelpFileOfTheProgramDirectoryElseOfTheInstalledDataDirectory) {
  testing::TempDir dir;
  const auto programDir = dir / "config" / "norvax";
  const auto executable = dir / "usr" / "bin" / "norvax";
  const auto installed = dir / "usr" / "share" / "norvax" / "NORVAX.HLP";
  std::filesystem::create_directories(programDir);
  EXPECT_EQ(HelpFilePathFor(programDir, executable), programDir / "NORVAX.HLP")
      << "neither exists: the message names the program directory's";
  std::filesystem::create_directories(installed.parent_path());
  testing::WriteFile(installed, "@@ NV013 x\n");
  EXPECT_EQ(HelpFilePathFor(programDir, executable), installed);
  testing::WriteFile(programDir / "NORVAX.HLP", "@@ NV013 x\n");
  EXPECT_EQ(HelpFilePathFor(programDir, executable), programDir / "NORVAX.HLP");
}

}  // namespace
}  // namespace norvax
