// norvaxctl type against windows on a private X server.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "platform/cp932.h"
#include "platform/x11/x11_window_system.h"
#include "test_files.h"
#include "x11_env.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;

TEST(NorvaxctlType, FindsTheWindowAsASet2TargetAndTypesExactly) {
  testing::XServer server(true);
  testing::TempDir dir;
  X11WindowSystem windows(server.Display().c_str());
  testing::ChildProcess login({NORVAX_TYPE_TARGET, "ﾕｰｻﾞ名とﾊﾟｽﾜｰﾄﾞの入力 - login"}, server.Env());
  testing::ChildProcess other({NORVAX_TYPE_TARGET, "other"}, server.Env());
  WindowId loginWindow = 0;
  ASSERT_TRUE(testing::WaitUntil(
      [&] {
        int found = 0;
        for (auto w : windows.TopLevelWindows()) {
          const auto caption = windows.CaptionUtf8(w);
          if (caption == "other") ++found;
          if (caption == "ﾕｰｻﾞ名とﾊﾟｽﾜｰﾄﾞの入力 - login") {
            loginWindow = w;
            ++found;
          }
        }
        return found == 2;
      },
      10s));
  auto run = [&](const std::string& args, const std::string& input = "") {
    testing::WriteFile(dir / "stdin", input);
    const std::string command = "DISPLAY=" + server.Display() + " XAUTHORITY=/dev/null " +
                                NORVAXCTL_PATH + " type " + args + " <" + (dir / "stdin").string() +
                                " 2>" + (dir / "stderr").string();
    const int status = std::system(command.c_str());
    return std::pair{WEXITSTATUS(status), testing::ReadFile(dir / "stderr")};
  };
  // A caption that only contains the text; a character whose second byte is "{" before "~".
  EXPECT_EQ(run("--caption 'ﾕｰｻﾞ名とﾊﾟｽﾜｰﾄﾞの入力' 'taro本~{]'"), std::pair(0, std::string()));
  EXPECT_EQ(
      run("--class " + Cp932ToUtf8(windows.ClassName(loginWindow)) + " --stdin", "秘密Pw{~\n"),
      std::pair(0, std::string()));
  auto fields = login.LastValuesUntil("enter", 5s);
  EXPECT_EQ(fields["1"], "taro本~");
  EXPECT_EQ(fields["2"], "秘密Pw");

  EXPECT_EQ(run("--caption nowhere abc"),
            std::pair(1, std::string("norvaxctl: no window has the caption nowhere\n")));
}

}  // namespace
}  // namespace norvax
