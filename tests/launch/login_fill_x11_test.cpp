// ID and password clicks typed into a real login dialog on a private X server.
#include <gtest/gtest.h>

#include "core/program_state.h"
#include "fakes/fake_help.h"
#include "fakes/fake_processes.h"
#include "fakes/fake_program_control.h"
#include "fakes/fake_proxy_stores.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_remote_access.h"
#include "fakes/fake_user_dialogs.h"
#include "fakes/memory_file_store.h"
#include "fakes/memory_profile_file.h"
#include "launch/login_fill.h"
#include "platform/cp932.h"
#include "platform/posix/system_clock.h"
#include "platform/x11/x11_window_system.h"
#include "x11_env.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;

// Only the window system, the clock and the program's own windows take part in a fill.
struct FillDesktop {
  testing::XServer server{true};
  X11WindowSystem windows{server.Display().c_str()};
  SystemClock clock;
  fakes::FakeProgramControl program;
  // The ports a fill does not use.
  fakes::MemoryProfileFile settings, logState;
  fakes::FakeUserDialogs dialogs;
  fakes::FakeHelp help;
  fakes::FakeRemoteAccess remote;
  fakes::FakeRegistry registry;
  fakes::FakeProcesses processes;
  fakes::MemoryFileStore logFiles;
  fakes::FakeProxyStores proxy;
  Ports ports{settings, dialogs,   help,    remote,   clock,    windows,
              registry, processes, program, logState, logFiles, proxy};
  ProgramState state;

  FillDesktop() { state.prefs.ResetToDefaults(); }

  bool Fill(FillMode mode, const std::string& text, const std::string& set1,
            const std::string& set2) {
    return FillLoginDialog(state, ports, DialupCaptionFor(set1), text, set1, set2, "", mode) ==
           FillResult::Typed;
  }

  WindowId Wait(testing::ChildProcess&, const std::string& captionUtf8) {
    WindowId found = 0;
    testing::WaitUntil(
        [&] {
          for (auto w : windows.TopLevelWindows()) {
            if (windows.CaptionUtf8(w) == captionUtf8) found = w;
          }
          return found != 0;
        },
        10s);
    return found;
  }
};

TEST(LoginFillOnX11, IdTabPasswordEnterArriveExactly) {
  FillDesktop d;
  const std::string caption = "ﾈｯﾄﾜｰｸ ﾊﾟｽﾜｰﾄﾞの入力";
  testing::ChildProcess dialog({NORVAX_TYPE_TARGET, caption}, d.server.Env());
  ASSERT_NE(d.Wait(dialog, caption), 0u);
  d.state.prefs[TabAfterIdSet1] = "1";
  d.state.prefs[EnterAfterPassSet1] = "1";
  d.state.prefs[CopyToClipboard] = "1";
  ASSERT_TRUE(d.Fill(FillMode::Id, Sjis("山田taro"), "IE3.X", ""));
  ASSERT_TRUE(d.Fill(FillMode::Password, Sjis("ﾊﾟｽ秘密#1"), "IE3.X", ""));
  EXPECT_EQ(d.program.clipboard, Sjis("ﾊﾟｽ秘密#1"));
  auto fields = dialog.LastValuesUntil("enter", 5s);
  EXPECT_EQ(fields["1"], "山田taro");
  EXPECT_EQ(fields["2"], "ﾊﾟｽ秘密#1") << "TAB moved to the password field, ENTER pressed OK";
  EXPECT_EQ(d.state.lastTargetCaption, Sjis(caption));
}

TEST(LoginFillOnX11, Set2NamesAWindowClass) {
  FillDesktop d;
  testing::ChildProcess chat({NORVAX_TYPE_TARGET, "chat"}, d.server.Env());
  WindowId w = d.Wait(chat, "chat");
  ASSERT_NE(w, 0u);
  const std::string className = d.windows.ClassName(w);
  ASSERT_FALSE(className.empty());
  d.state.prefs[Set2IsClass] = "1";
  d.state.prefs[EnterAfterPassSet2] = "1";
  ASSERT_TRUE(d.Fill(FillMode::Password, "pw", "", className));
  EXPECT_TRUE(chat.WaitForLine("1:pw", 5s));
  EXPECT_TRUE(chat.WaitForLine("enter", 5s));
}

}  // namespace
}  // namespace norvax
