#include "platform/store/ini_file.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <set>
#include <utility>

#include "test_files.h"

// Set by a test: runs once, right after the next temporary file of a save is made, as
// another program would between two steps of that save.
static std::function<void()> afterTemporaryMade;

extern "C" int mkostemp(char* name, int flags) {
  static const auto real = reinterpret_cast<int (*)(char*, int)>(dlsym(RTLD_NEXT, "mkostemp"));
  const int fd = real(name, flags);
  if (auto hook = std::exchange(afterTemporaryMade, nullptr)) hook();
  return fd;
}

namespace norvax {
namespace {

std::set<std::string> Names(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (auto& f : std::filesystem::directory_iterator(folder)) {
    names.insert(f.path().filename().string());
  }
  return names;
}

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(IniFile, ReadsWhatTheWindowsProfileFunctionsRead) {
  TempDir dir;
  WriteFile(dir / "a.ini",
            "; comment\r\n"
            "[Alpha]\r\n"
            "key = spaced value \r\n"
            "Quoted=\"  kept  \"\r\n"
            "tab\t=\tx\r\n"
            "dup=first\r\n"
            "dup=second\r\n"
            "\r\n"
            "[alpha]\n"
            "other=ignored\n"
            "[Beta]\n"
            "z=1");
  IniFile file((dir / "a.ini").string());
  EXPECT_EQ(file.ReadString("ALPHA", "KEY", "-"), "spaced value");
  EXPECT_EQ(file.ReadString("alpha", "quoted", "-"), "  kept  ");
  EXPECT_EQ(file.ReadString("alpha", "tab", "-"), "x");
  EXPECT_EQ(file.ReadString("alpha", "dup", "-"), "first");
  EXPECT_EQ(file.ReadString("alpha", "other", "-"), "-") << "the first section of a name counts";
  EXPECT_EQ(file.ReadString("beta", "z", "-"), "1");
  EXPECT_EQ(file.ReadString("gamma", "z", "-"), "-");
}

TEST(IniFile, ValuesReadBackExactly) {
  TempDir dir;
  IniFile file((dir / "a.ini").string());
  const std::vector<std::string> values{
      "http=a:8080  ",        "  /home/user",    "\"quoted\"", "\"", "a=b=c", "", " ", "\t",
      std::string(5000, 'x'), "\x83\x5C\x95\x5C"};
  KeyValues kv;
  for (std::size_t i = 0; i < values.size(); ++i) kv.emplace_back(std::to_string(i), values[i]);
  file.WriteSection("S", kv);
  EXPECT_EQ(file.ReadSection("s"), kv);
}

TEST(IniFile, DoubleByteNamesDoNotFoldTrailBytes) {
  TempDir dir;
  IniFile file((dir / "a.ini").string());
  // 0x82 0x61 and 0x82 0x41 are different characters whose trail bytes are "a" and "A".
  file.WriteValue("\x82\x61", "Date", "1");
  file.WriteValue("\x82\x41", "Date", "2");
  EXPECT_EQ(file.ReadString("\x82\x61", "date", ""), "1");
  EXPECT_EQ(file.ReadString("\x82\x41", "DATE", ""), "2");
}

TEST(IniFile, SectionWritesKeepOtherSectionsAndLayout) {
  TempDir dir;
  auto path = dir / "a.ini";
  WriteFile(path, "[A]\r\n0=a\r\n\r\n[B]\r\n0=b\r\n\r\n[C]\r\n0=c\r\n");
  IniFile file(path.string());
  file.WriteSection("b", {{"0", "x"}, {"1", "y"}});
  EXPECT_EQ(ReadFile(path), "[A]\r\n0=a\r\n\r\n[b]\r\n0=x\r\n1=y\r\n\r\n[C]\r\n0=c\r\n");
  file.EraseSection("B");
  EXPECT_EQ(ReadFile(path), "[A]\r\n0=a\r\n\r\n[C]\r\n0=c\r\n");
  file.WriteValue("D", "k", "v");
  EXPECT_EQ(ReadFile(path), "[A]\r\n0=a\r\n\r\n[C]\r\n0=c\r\n\r\n[D]\r\nk=v\r\n");
  file.WriteValue("a", "0", "changed");
  EXPECT_EQ(file.ReadString("A", "0", ""), "changed");
  // Several sections in one change: replaced in place, erased, added at the end.
  file.WriteSections({{"c", {{"0", "z"}}}, {"A", {}}, {"E", {{"1", "e"}}}, {"F", {}}});
  EXPECT_EQ(ReadFile(path), "[c]\r\n0=z\r\n\r\n[D]\r\nk=v\r\n\r\n[E]\r\n1=e\r\n");
}

TEST(IniFile, WritesDropLaterSectionsOfTheSameName) {
  // The reader sees only the first section of a name; erasing or replacing it must not bring
  // a later one to light.
  TempDir dir;
  auto path = dir / "a.ini";
  WriteFile(path, "[A]\r\n0=a\r\n\r\n[B]\r\n0=b\r\n\r\n[a]\r\n0=old\r\n\r\n[b]\r\n0=old\r\n");
  IniFile file(path.string());
  file.EraseSection("A");
  EXPECT_EQ(ReadFile(path), "[B]\r\n0=b\r\n\r\n[b]\r\n0=old\r\n");
  file.WriteSection("B", {{"0", "x"}});
  EXPECT_EQ(ReadFile(path), "[B]\r\n0=x\r\n\r\n");
}

TEST(IniFile, NewFileIsPrivateAndAReplacedFileKeepsItsMode) {
  TempDir dir;
  auto path = dir / "a.ini";
  IniFile file(path.string());
  auto mode = [&] {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
  };
  file.WriteValue("S", "k", "v");
  EXPECT_EQ(mode(), 0600u);
  file.WriteValue("S", "k", "w");
  EXPECT_EQ(mode(), 0600u);
  EXPECT_EQ(std::filesystem::directory_iterator(dir.Path())->path(), path) << "no temporary left";
  chmod(path.c_str(), 0644);
  file.WriteValue("S", "k", "x");
  EXPECT_EQ(mode(), 0644u);
}

TEST(IniFile, InterruptedWriteLeavesOldFileIntact) {
  TempDir dir;
  auto path = dir / "a.ini";
  WriteFile(path, "[S]\r\n0=old\r\n");
  IniFile file(path.string());
  file.SetBeforeReplaceHook([] { throw std::runtime_error("power cut"); });
  EXPECT_THROW(file.WriteSection("S", {{"0", "new"}}), std::runtime_error);
  EXPECT_EQ(ReadFile(path), "[S]\r\n0=old\r\n");
  int files = 0;
  for ([[maybe_unused]] auto& f : std::filesystem::directory_iterator(dir.Path())) ++files;
  EXPECT_EQ(files, 1) << "the temporary file is removed";
}

TEST(IniFile, ReadOnlyFileRefusesWrites) {
  TempDir dir;
  auto path = dir / "a.ini";
  WriteFile(path, "[S]\r\n0=old\r\n");
  chmod(path.c_str(), 0400);
  IniFile file(path.string());
  try {
    file.WriteSection("S", {{"0", "new"}});
    FAIL() << "write succeeded";
  } catch (const WriteError& e) {
    EXPECT_EQ(e.Path(), path.string());
    EXPECT_EQ(e.Message(), path.string() + testing::Sjis(" に書き込めません"));
  }
  EXPECT_EQ(ReadFile(path), "[S]\r\n0=old\r\n");
}

TEST(IniFile, SaveCopyDuplicatesTheFileAndNeverReplacesAnother) {
  TempDir dir;
  auto path = dir / "a.ini";
  WriteFile(path, "[S]\r\n0=x\r\n");
  IniFile file(path.string());
  EXPECT_EQ(file.SaveCopy(".damaged"), (dir / "a.ini.damaged").string());
  WriteFile(path, "[S]\r\n0=y\r\n");
  EXPECT_EQ(file.SaveCopy(".damaged"), (dir / "a.ini.damaged-2").string());
  EXPECT_EQ(ReadFile(dir / "a.ini.damaged"), "[S]\r\n0=x\r\n");
  EXPECT_EQ(ReadFile(dir / "a.ini.damaged-2"), "[S]\r\n0=y\r\n");
}

TEST(IniFile, AFileThatCannotBeReadIsNeverWritten) {
  TempDir dir;
  auto path = dir / "a.ini";
  std::filesystem::create_symlink(path, path);  // a loop: unreadable even for root
  IniFile file(path.string());
  try {
    file.ReadSection("S");
    FAIL() << "read succeeded";
  } catch (const ReadError& e) {
    EXPECT_EQ(e.Message(),
              path.string() + testing::Sjis(" を読み込めません (") + std::strerror(ELOOP) + ")");
  }
  EXPECT_THROW(file.WriteSections({{"S", {{"0", "x"}}}}), WriteError);
  EXPECT_TRUE(std::filesystem::is_symlink(path));
}

TEST(IniFile, ValueWithLineBreakFailsTheWholeWrite) {
  TempDir dir;
  IniFile file((dir / "a.ini").string());
  EXPECT_THROW(file.WriteSections({{"S", {{"k", "v"}}}, {"T", {{"k", "a\r\n[T]"}}}}), WriteError);
  EXPECT_FALSE(std::filesystem::exists(dir / "a.ini"));
}

// Only regular files of the user that no writer holds are leftovers; anything else named
// like one (a FIFO, another user's file) is left alone and never waited for.
TEST(IniFile, WriteRemovesTheTemporariesOfKilledWrites) {
  TempDir dir;
  auto path = dir / "a.ini";
  WriteFile(dir / "a.ini.tmp-Ab3dE9", "[S]\r\n0=half");  // its writer was killed
  WriteFile(dir / "a.ini.tmp-Zz0000", "[S]\r\n");        // its writer is still writing
  int writing = open((dir / "a.ini.tmp-Zz0000").c_str(), O_RDONLY);
  ASSERT_EQ(flock(writing, LOCK_EX), 0);
  WriteFile(dir / "a.ini.before", "the user's own");
  std::set<std::string> kept{"a.ini", "a.ini.before", "a.ini.tmp-Zz0000", "a.ini.tmp-Fifo00"};
  ASSERT_EQ(mkfifo((dir / "a.ini.tmp-Fifo00").c_str(), 0600), 0);
  WriteFile(dir / "a.ini.tmp-Other0", "");
  if (chown((dir / "a.ini.tmp-Other0").c_str(), geteuid() + 1, getegid()) == 0) {
    kept.insert("a.ini.tmp-Other0");
  }
  auto save =
      std::async(std::launch::async, [&] { IniFile(path.string()).WriteValue("S", "0", "new"); });
  const bool inTime = save.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  if (!inTime) close(open((dir / "a.ini.tmp-Fifo00").c_str(), O_WRONLY | O_NONBLOCK));
  save.get();
  EXPECT_TRUE(inTime) << "the save waited for a FIFO";
  close(writing);
  EXPECT_EQ(Names(dir.Path()), kept);
}

// A file that is a symbolic link (here to a link, to a file in another folder) is written
// through to the file the links lead to, made when missing; the links stay.
TEST(IniFile, WritesThroughSymbolicLinks) {
  TempDir dir;
  std::filesystem::create_directory(dir / "real");
  std::filesystem::create_symlink(dir / "real" / "a.ini", dir / "a2.ini");
  std::filesystem::create_symlink("a2.ini", dir / "a.ini");
  for (std::string value : {"made", "replaced"}) {
    IniFile((dir / "a.ini").string()).WriteValue("S", "0", value);
    EXPECT_EQ(ReadFile(dir / "real" / "a.ini"), "[S]\r\n0=" + value + "\r\n");
  }
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "a.ini") &&
              std::filesystem::is_symlink(dir / "a2.ini"));
  EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"a.ini", "a2.ini", "real"}));
  EXPECT_EQ(Names(dir / "real"), std::set<std::string>{"a.ini"});
}

// The cleanup of another program's save that runs between the making of a temporary and its
// lock finds it unlocked: the save still ends with its own contents in place.
TEST(IniFile, ASaveOfAnotherProgramAmidTheStepsOfASaveLeavesItWhole) {
  TempDir dir;
  auto path = dir / "a.ini";
  afterTemporaryMade = [&] { IniFile(path.string()).WriteValue("S", "1", "other"); };
  IniFile(path.string()).WriteValue("S", "0", "mine");
  EXPECT_FALSE(afterTemporaryMade);
  EXPECT_EQ(ReadFile(path), "[S]\r\n0=mine\r\n");
  EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"a.ini"});
}

}  // namespace
}  // namespace norvax

namespace norvax {
namespace {

TEST(IniFile, ChangesByOtherWritersAreSeen) {
  testing::TempDir dir;
  auto path = dir / "a.ini";
  testing::WriteFile(path, "[S]\r\n0=first\r\n");
  IniFile reader(path.string());
  EXPECT_EQ(reader.ReadString("S", "0", ""), "first");
  IniFile(path.string()).WriteValue("S", "0", "second");
  EXPECT_EQ(reader.ReadString("S", "0", ""), "second");
  testing::WriteFile(path, "[S]\r\n0=third, by hand\r\n");
  EXPECT_EQ(reader.ReadString("S", "0", ""), "third, by hand");
  std::filesystem::remove(path);
  EXPECT_EQ(reader.ReadString("S", "0", "gone"), "gone");
}

}  // namespace
}  // namespace norvax
