#include "platform/x11/direct_input.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "test_files.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;

std::atomic<int> signalsCaught{0};

// A signal arrives while an input-method tool does not answer: the wait still ends after
// the tools' time, with the tool killed.
TEST(DirectInputTest, AToolThatDoesNotAnswerIsKilledWhenASignalInterruptsTheWait) {
  testing::TempDir dir;
  // fcitx5-remote that waits to be released (once), then says an input method is active.
  const auto release = dir / "release";
  const auto released = dir / "released";
  ASSERT_EQ(mkfifo(release.c_str(), 0600), 0);
  const auto tool = dir / "fcitx5-remote";
  testing::WriteFile(tool, "#!/bin/sh\n[ -e '" + released.string() + "' ] || { read x <'" +
                               release.string() + "'; : >'" + released.string() + "'; }\necho 2\n");
  std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
  const std::string path = std::getenv("PATH");
  setenv("PATH", (dir.Path().string() + ":" + path).c_str(), 1);
  const char* home = std::getenv("HOME");
  const std::string savedHome = home ? home : "";
  setenv("HOME", dir.Path().c_str(), 1);  // no ibus of this user
  unsetenv("IBUS_ADDRESS");
  unsetenv("XDG_CONFIG_HOME");

  struct sigaction caught {};
  caught.sa_handler = [](int) { ++signalsCaught; };  // without SA_RESTART
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGUSR1, &caught, &previous), 0);
  sigevent toThisThread{};
  toThisThread.sigev_notify = SIGEV_THREAD_ID;
  toThisThread.sigev_signo = SIGUSR1;
  toThisThread._sigev_un._tid = gettid();
  timer_t timer{};
  ASSERT_EQ(timer_create(CLOCK_MONOTONIC, &toThisThread, &timer), 0);
  const itimerspec once{{0, 0}, {0, 500'000'000}};  // well within the tools' time
  ASSERT_EQ(timer_settime(timer, 0, &once, nullptr), 0);
  // A wait without bound would last until the tool is released, long after the tools' time.
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  std::thread releaser([&] {
    std::unique_lock lock(mutex);
    if (done.wait_for(lock, 20s, [&] { return finished; })) return;
    const int fd = open(release.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) close(fd);
  });

  const bool switched = DirectInput(":0", "xkb:us::eng").Switched();

  timer_delete(timer);
  {
    std::lock_guard lock(mutex);
    finished = true;
  }
  done.notify_all();
  releaser.join();
  sigaction(SIGUSR1, &previous, nullptr);
  setenv("PATH", path.c_str(), 1);
  setenv("HOME", savedHome.c_str(), 1);
  EXPECT_GT(signalsCaught, 0);
  EXPECT_FALSE(std::filesystem::exists(released)) << "the tool was waited for until it ended";
  EXPECT_FALSE(switched);
}

}  // namespace
}  // namespace norvax
