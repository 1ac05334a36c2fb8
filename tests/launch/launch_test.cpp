#include "launch/launch.h"

#include <gtest/gtest.h>

#include "fakes/fake_ports.h"
#include "test_files.h"

namespace norvax {
namespace {

TEST(LaunchGuard, RefusesWhileAStartRelatedOperationRuns) {
  struct Case {
    bool timer, busy, worker, refused;
  } cases[] = {
      {false, false, false, false}, {true, false, false, true}, {false, true, false, true},
      {false, false, true, true},   {true, true, true, true},
  };
  for (const auto& c : cases) {
    fakes::FakePorts fake;
    ProgramState state;
    state.prefs.ResetToDefaults();
    state.table.Append(Entry::New());
    state.main.timerEnabled = c.timer;
    state.main.timerBusy = c.busy;
    state.main.watchThreadRunning = c.worker;
    LaunchEntry(state, fake.ports, 0);
    if (c.refused) {
      EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{testing::Sjis(
                                         "NORVAX 起動（関連）処理中のため起動出来ません。")});
    } else {
      EXPECT_TRUE(fake.dialogs.errors.empty());
    }
  }
}

}  // namespace
}  // namespace norvax
