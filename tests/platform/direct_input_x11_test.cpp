#include "platform/x11/direct_input.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "test_files.h"

namespace norvax {
namespace {

// A signal comes while an input-method tool does not answer: the wait still ends after the
// tools' time, with the tool killed, instead of lasting until the tool ends by itself.
TEST(DirectInputTest, AToolThatDoesNotAnswerIsKilledWhenASignalInterruptsTheWait) {
  testing::TempDir dir;
  const auto ended = dir / "ended";
  const auto tool = dir / "fcitx5-remote";  // says, 20 s late, that an input method is active
  testing::WriteFile(tool,
                     "#!/bin/sh\nexec /usr/bin/python3 -c 'import sys, time; "
                     "time.sleep(20); open(sys.argv[1], \"w\"); print(2)' " +
                         ended.string() + "\n");
  std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
  const char* homeWas = std::getenv("HOME");
  const std::string path = std::getenv("PATH"), home = homeWas ? homeWas : "/";
  setenv("PATH", (dir.Path().string() + ":" + path).c_str(), 1);
  setenv("HOME", dir.Path().c_str(), 1);  // no ibus of this user
  unsetenv("IBUS_ADDRESS");
  unsetenv("XDG_CONFIG_HOME");
  struct sigaction ignored {};
  ignored.sa_handler = [](int) {};  // without SA_RESTART
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGUSR1, &ignored, &previous), 0);
  sigevent toThisThread{};
  toThisThread.sigev_notify = SIGEV_THREAD_ID;
  toThisThread.sigev_signo = SIGUSR1;
  toThisThread._sigev_un._tid = gettid();
  timer_t timer{};
  ASSERT_EQ(timer_create(CLOCK_MONOTONIC, &toThisThread, &timer), 0);
  const itimerspec once{{0, 0}, {0, 500'000'000}};  // well within the tools' time
  ASSERT_EQ(timer_settime(timer, 0, &once, nullptr), 0);

  EXPECT_FALSE(DirectInput(":0", "xkb:us::eng").Switched());
  EXPECT_FALSE(std::filesystem::exists(ended)) << "the tool was waited for until it ended";

  timer_delete(timer);
  sigaction(SIGUSR1, &previous, nullptr);
  setenv("PATH", path.c_str(), 1);
  setenv("HOME", home.c_str(), 1);
}

}  // namespace
}  // namespace norvax
