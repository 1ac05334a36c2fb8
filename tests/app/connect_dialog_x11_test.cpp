// The simulated connect dialog, driven through the X11 adapter as NORVAX drives it.
#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "platform/sim/sim_connections.h"
#include "platform/sim/sim_phonebook.h"
#include "platform/store/ini_file.h"
#include "platform/x11/x11_window_system.h"
#include "test_files.h"
#include "x11_env.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;

TEST(ConnectDialog, BringsTheConnectionUpOnlyWithTheRightPassword) {
  testing::TempDir dir;
  IniFile book((dir / kPhonebookFileName).string());
  book.WriteValue("Connections", "1", Sjis("夜間プロバイダ"));
  book.WriteSection(Sjis("Connection:夜間プロバイダ"), {{"Phone", "0311112222"},
                                                        {"User", "taro"},
                                                        {"Password", Sjis("秘密pw")},
                                                        {"Attempt1", "connect 0"}});
  testing::XServer server(true);
  X11WindowSystem windows(server.Display().c_str());
  testing::ChildProcess dialog({NORVAX_CONNECT, "--connection", "夜間プロバイダ", "--ie4",
                                "--program-dir", dir.Path().string()},
                               server.Env());
  WindowId w = 0;
  ASSERT_TRUE(testing::WaitUntil(
      [&] {
        for (auto id : windows.TopLevelWindows()) {
          if (windows.Caption(id) == Sjis("ダイヤルアップ接続")) w = id;
        }
        return w != 0;
      },
      10s));
  ASSERT_TRUE(windows.SetForeground(w));
  ASSERT_TRUE(testing::WaitUntil([&] { return windows.Foreground() == w; }, 5s));

  windows.TypeText(w, "wrong");
  windows.PressKey(w, Key::Enter);
  ASSERT_TRUE(dialog.WaitForLine("wrong password", 5s));
  SimConnections connections((dir / kSimConnectionsFileName).string());
  EXPECT_FALSE(connections.Find(Sjis("夜間プロバイダ")));

  windows.TypeText(w, Sjis("秘密pw"));
  windows.PressKey(w, Key::Enter);
  ASSERT_TRUE(dialog.WaitForLine("connected", 5s));
  EXPECT_TRUE(connections.Find(Sjis("夜間プロバイダ")));
}

}  // namespace
}  // namespace norvax
