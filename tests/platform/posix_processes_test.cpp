#include "platform/posix/posix_processes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <future>
#include <thread>

#include "test_files.h"

namespace norvax {
namespace {

TEST(SplitCommandLine, SplitsAsAShellWould) {
  using Words = std::vector<std::string>;
  struct Case {
    std::string line;
    std::optional<Words> words;
  } cases[] = {
      {"/usr/bin/firefox", Words{"/usr/bin/firefox"}},
      {"  firefox   --new-window  http://a/  ", Words{"firefox", "--new-window", "http://a/"}},
      {"'/opt/My Browser/run' \"a \\\"b\\\" $x\"", Words{"/opt/My Browser/run", "a \"b\" $x"}},
      {"a\\ b c''d \"\"", Words{"a b", "cd", ""}},
      {"\"C:\\Program Files\\x.exe\"", Words{"C:\\Program Files\\x.exe"}},
      {"'open", std::nullopt},
      {"\"open", std::nullopt},
      {"", Words{}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.words) << c.line;
  // What QuoteCommandWord makes of a word reads back as that one word.
  for (std::string word : {"/usr/bin/firefox", "/opt/My Browser/it's \"x\" \\y", ""}) {
    EXPECT_EQ(SplitCommandLine(QuoteCommandWord(word)), Words{word}) << word;
  }
  EXPECT_EQ(QuoteCommandWord("/usr/bin/firefox"), "/usr/bin/firefox");
}

TEST(PosixProcesses, StartsInTheDirectoryWithItsOwnEnvironmentAndSeesTheEnd) {
  testing::TempDir dir;
  PosixProcesses processes;
  auto marker = dir / "here";
  setenv("NORVAX_TEST_INHERITED", "kept", 1);
  setenv("no_proxy", "inherited", 1);
  ProcessHandle p = processes.Start(
      "sh -c 'pwd > here; echo \"$http_proxy|${no_proxy-unset}|$NORVAX_TEST_INHERITED\" >> here'",
      dir.Path().string(), {{"http_proxy", "http://p:8080"}, {"no_proxy", ""}});
  unsetenv("NORVAX_TEST_INHERITED");
  unsetenv("no_proxy");
  ASSERT_NE(p, 0);
  EXPECT_TRUE(processes.WaitForExit(p, 10000));
  EXPECT_TRUE(processes.WaitForExit(p, 0)) << "an ended program stays ended";
  EXPECT_EQ(testing::ReadFile(marker), dir.Path().string() + "\nhttp://p:8080|unset|kept\n");
  processes.Close(p);
}

TEST(PosixProcesses, WaitsForEveryProgramTheStartedOneStarted) {
  PosixProcesses processes;
  // A launcher that starts the real program and ends at once.
  ProcessHandle p = processes.Start("sh -c 'sleep 30 & exit 0'", "");
  ASSERT_NE(p, 0);
  EXPECT_FALSE(processes.WaitForExit(p, 20));
  // Until the launcher has ended, looking in the slices of the wait itself.
  std::vector<std::uint32_t> tree;
  for (int slice = 0; slice < 200; ++slice) {
    tree = processes.ProcessTree(p);
    if (tree.size() == 1 && tree[0] != static_cast<std::uint32_t>(p)) break;
    processes.WaitForExit(p, 50);
  }
  ASSERT_EQ(tree.size(), 1u);
  ASSERT_NE(tree[0], static_cast<std::uint32_t>(p)) << "the program the launcher started";
  EXPECT_FALSE(processes.WaitForExit(p, 20));
  // Terminate ends the whole tree: the real program too, whose parent has gone.
  const auto stat = "/proc/" + std::to_string(tree[0]) + "/stat";
  processes.Terminate(p);
  auto ended = [&] {
    const std::string text = testing::ReadFile(stat);
    const auto state = text.rfind(") ");
    return text.empty() || (state != std::string::npos && text[state + 2] == 'Z');
  };
  for (int i = 0; i < 1000 && !ended(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(ended());
}

TEST(PosixProcesses, FollowsAProgramThatLeftForASessionOfItsOwn) {
  testing::TempDir dir;
  // A launcher that detaches the real program into a session of its own and ends before
  // anyone looked.
  testing::WriteFile(dir / "launch",
                     "setsid sleep 30 & c=$!\n"
                     "until [ \"$(cut -d' ' -f6 /proc/$c/stat)\" = \"$c\" ]; do :; done\n");
  PosixProcesses processes;
  ProcessHandle p = processes.Start("sh launch", dir.Path().string());
  ASSERT_NE(p, 0);
  // A stranger started afterwards with a mark made up from what anyone can see (this
  // process's id, the count of starts) is not the launch's.
  const std::string guess = "NORVAX_LAUNCH=" + std::to_string(getpid()) + "-1";
  ASSERT_EQ(std::system((guess + " setsid sleep 30 >/dev/null 2>&1 & echo $! >" +
                         (dir / "stranger").string())
                            .c_str()),
            0);
  const std::string stranger = testing::ReadFile(dir / "stranger");
  const auto stat = "/proc/" + std::to_string(p) + "/stat";
  for (int i = 0; i < 1000 && testing::ReadFile(stat).find(") Z") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const auto tree = processes.ProcessTree(p);
  ASSERT_EQ(tree.size(), 1u) << "the detached program is still the launch's";
  EXPECT_NE(testing::ReadFile("/proc/" + std::to_string(tree[0]) + "/cmdline").find("sleep"),
            std::string::npos);
  processes.Terminate(p);
  kill(std::stoi(stranger), SIGKILL);
}

TEST(PosixProcesses, ShellOpenNeverWaitsForTheOpener) {
  testing::TempDir dir;
  // An opener that, as xdg-open in its generic mode, lasts as long as the program it opened:
  // here until the test writes to its pipe.
  const auto opener = dir / "xdg-open";
  const auto pipe = dir / "xdg-open.pipe";
  testing::WriteFile(opener,
                     "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.args\"\nread line < \"$0.pipe\"\n");
  std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const std::string path = std::getenv("PATH");
  setenv("PATH", (dir.Path().string() + ":" + path).c_str(), 1);
  const auto page = dir / "page.html";
  testing::WriteFile(page, "");
  PosixProcesses processes;
  for (const std::string& target : {page.string(), std::string("http://example.invalid/a b")}) {
    auto opened = std::async(std::launch::async, [&] { return processes.ShellOpen(target); });
    EXPECT_EQ(opened.wait_for(std::chrono::seconds(10)), std::future_status::ready) << target;
    EXPECT_TRUE(opened.get()) << target;
    // The opener runs on in the background; its arguments show that it started.
    const auto args = dir / "xdg-open.args";
    for (int i = 0; i < 1000 && testing::ReadFile(args) != target; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(testing::ReadFile(args), target);
    std::filesystem::remove(args);
    // Opening the pipe waits for the opener; closing it ends the opener.
    close(open(pipe.c_str(), O_WRONLY));
  }
  // A file that does not exist is refused at once, as the opener would refuse it.
  auto missing = std::async(std::launch::async,
                            [&] { return processes.ShellOpen((dir / "missing.html").string()); });
  EXPECT_EQ(missing.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  close(open(pipe.c_str(), O_WRONLY | O_NONBLOCK));  // ends an opener that should not run
  EXPECT_FALSE(missing.get());
  setenv("PATH", path.c_str(), 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "xdg-open.args")) << "the opener did not run";
}

TEST(PosixProcesses, FailuresToStartReturnNoProcess) {
  testing::TempDir dir;
  PosixProcesses processes;
  EXPECT_EQ(processes.Start("/nonexistent/browser", ""), 0);
  EXPECT_EQ(processes.Start("true", (dir / "missing").string()), 0);
  EXPECT_EQ(processes.Start("'unclosed", ""), 0);
  EXPECT_EQ(processes.Start("   ", ""), 0);
}

}  // namespace
}  // namespace norvax
