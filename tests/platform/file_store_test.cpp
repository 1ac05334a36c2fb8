#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/posix_file_store.h"
#include "platform/store/ini_file.h"
#include "test_files.h"

// Set by a test: the fsync of a folder fails with this error.
static int folderSyncError = 0;

extern "C" int fsync(int fd) {
  static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
  struct stat st {};
  if (folderSyncError != 0 && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = folderSyncError;
    return -1;
  }
  return real(fd);
}

namespace norvax {
namespace {

TEST(PosixFileStore, ReadsLinesWithAnyLineEnd) {
  testing::TempDir dir;
  PosixFileStore files(dir.Path());
  EXPECT_EQ(files.OpenLines("missing"), nullptr);
  EXPECT_FALSE(files.Size("missing"));
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb", {"a", "b"}},
      {"a\r\n\r\nb\r\n", {"a", "", "b"}},
      {std::string(100000, 'x') + "\r\ny", {std::string(100000, 'x'), "y"}},
  };
  for (const auto& c : cases) {
    testing::WriteFile(dir / "f", c.text);
    EXPECT_EQ(ReadAllLines(files, "f"), c.lines);
    EXPECT_EQ(files.Size("f"), c.text.size());
  }
}

TEST(PosixFileStore, AppendReadReplaceTruncateRemove) {
  testing::TempDir dir;
  PosixFileStore files(dir.Path());
  files.Append("log", "a\r\n");
  files.Append("log", "b\r\n");
  EXPECT_EQ(testing::ReadFile(dir / "log"), "a\r\nb\r\n");
  EXPECT_EQ(files.Read("log", 1, 3), "\r\nb");
  EXPECT_EQ(files.Read("log", 3, 100), "b\r\n") << "up to the end";
  EXPECT_EQ(files.Read("log", 6, 1), "");
  EXPECT_EQ(files.Read("missing", 0, 1), "");
  struct stat st;
  ASSERT_EQ(stat((dir / "log").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  files.Truncate("log", 3);
  EXPECT_EQ(testing::ReadFile(dir / "log"), "a\r\n");
  files.Truncate("log", 100);  // never grows
  EXPECT_EQ(files.Size("log"), 3u);
  files.Replace("log", "new");
  EXPECT_EQ(testing::ReadFile(dir / "log"), "new");
  EXPECT_EQ(std::filesystem::directory_iterator(dir.Path())->path(), dir / "log")
      << "no temporary left";
  files.Remove("log");
  EXPECT_FALSE(files.Exists("log"));
  files.Remove("log");
  EXPECT_EQ(files.PathOf("x"), (dir / "x").string());

  // Files handed on (an export) get the mode the umask gives the user's files.
  const mode_t saved = umask(027);
  files.MakeUserFiles();
  files.Replace("export.csv", "x");
  umask(saved);
  ASSERT_EQ(stat((dir / "export.csv").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(PosixFileStore, FailuresThrowAndLeaveNothingHalfWritten) {
  testing::TempDir dir;
  PosixFileStore missingFolder(dir / "no-such-folder");
  EXPECT_THROW(missingFolder.Append("log", "x"), FileError);
  EXPECT_THROW(missingFolder.Replace("log", "x"), FileError);
  EXPECT_FALSE(missingFolder.Exists("log"));

  PosixFileStore files(dir.Path());
  std::filesystem::create_directories(dir / "busy" / "inside");
  try {
    files.Replace("busy", "new");
    FAIL();
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("busy"), std::string::npos);
  }
  EXPECT_EQ(std::filesystem::directory_iterator(dir.Path())->path(), dir / "busy")
      << "no temporary left";
  EXPECT_THROW(files.Append("busy", "x"), FileError);
}

// A folder that cannot be synced after a change leaves the change unsure to last: each writer
// reports it as its other write failures. A file system without a sync of folders (EINVAL)
// has nothing to wait for.
TEST(PosixFileStore, AFolderSyncThatFailsIsAWriteFailure) {
  testing::TempDir dir;
  PosixFileStore files(dir.Path());
  const std::string path = (dir / "f").string();
  for (int error : {EIO, EINVAL}) {
    folderSyncError = error;
    std::string removeError, saveError;
    try {
      files.Remove("f");
    } catch (const FileError& e) {
      removeError = e.what();
    }
    try {
      IniFile(path).WriteValue("S", "k", "v");
    } catch (const WriteError& e) {
      saveError = e.Message();
    }
    const bool fails = error == EIO;
    EXPECT_EQ(removeError, fails ? path + ": " + std::strerror(EIO) : "");
    EXPECT_EQ(saveError, fails ? path + testing::Sjis(" に書き込めません") : "");
  }
  folderSyncError = 0;
}

// Two stores of one folder stand for two programs: flock excludes open files, not processes.
TEST(PosixFileStore, LockExcludesOtherHoldersAndGivesUpAfterItsWait) {
  testing::TempDir dir;
  PosixFileStore first(dir.Path());
  PosixFileStore second(dir.Path(), std::chrono::milliseconds(0));
  auto held = first.Lock("L.LCK");
  try {
    second.Lock("L.LCK");
    FAIL();
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), (dir / "L.LCK").string() +
                                         ": in use by another program; gave up after waiting 0 "
                                         "seconds");
  }
  EXPECT_EQ(second.TryLock("L.LCK"), nullptr);
  // The wait lets time pass through its pause (the program's events run), here until the
  // other holder lets go.
  int pauses = 0;
  PosixFileStore waiting(dir.Path(), std::chrono::seconds(5), [&](std::chrono::milliseconds) {
    if (++pauses == 3) held.reset();
  });
  EXPECT_NE(waiting.Lock("L.LCK"), nullptr);
  EXPECT_EQ(pauses, 3);
  EXPECT_NE(second.Lock("L.LCK"), nullptr);
  EXPECT_THROW(PosixFileStore(dir / "no-such-folder").Lock("L.LCK"), FileError);
}

}  // namespace
}  // namespace norvax
