#include "platform/sim/sim_connections.h"

#include <gtest/gtest.h>

#include "test_files.h"

namespace norvax {
namespace {

TEST(SimConnections, SeenByEveryInstanceOnTheSameFile) {
  testing::TempDir dir;
  auto path = (dir / kSimConnectionsFileName).string();
  SimConnections dialog(path);
  SimConnections program(path);
  EXPECT_FALSE(program.Find("Provider"));
  uint32_t handle = dialog.BringUp("Provider");
  EXPECT_NE(handle, 0u);
  EXPECT_EQ(program.Find("Provider"), handle);
  EXPECT_EQ(dialog.BringUp("Provider"), handle) << "an open connection keeps its handle";
  uint32_t other = dialog.BringUp(testing::Sjis("夜間プロバイダ"));
  EXPECT_NE(other, handle);
  EXPECT_EQ(program.NameOf(other), testing::Sjis("夜間プロバイダ"));
  EXPECT_TRUE(program.HangUp(handle));
  EXPECT_FALSE(dialog.Find("Provider"));
  EXPECT_FALSE(program.HangUp(handle));
  EXPECT_EQ(dialog.Find(testing::Sjis("夜間プロバイダ")), other);
  EXPECT_NE(dialog.BringUp("Provider"), other) << "handles are not reused while others are up";
}

}  // namespace
}  // namespace norvax

#include "platform/sim/sim_remote_access.h"

namespace norvax {
namespace {

TEST(SimRemoteAccess, SeesConnectionsBroughtUpElsewhere) {
  testing::TempDir dir;
  SimRemoteAccess remote((dir / kPhonebookFileName).string());
  ConnectionHandle handle = 0;
  EXPECT_EQ(remote.FindConnection("Provider", handle), 0);
  EXPECT_EQ(handle, 0u);
  int state = 0;
  EXPECT_EQ(remote.GetConnectState(0, state), 1);
  uint32_t up = SimConnections((dir / kSimConnectionsFileName).string()).BringUp("Provider");
  EXPECT_EQ(remote.FindConnection("Provider", handle), 0);
  EXPECT_EQ(handle, up);
  EXPECT_EQ(remote.GetConnectState(handle, state), 0);
  EXPECT_EQ(state, kConnectedState);
  EXPECT_TRUE(remote.HangUp(handle));
  EXPECT_NE(remote.GetConnectState(handle, state), 0) << "a connection that went down";
  EXPECT_FALSE(remote.HangUp(handle));
}

}  // namespace
}  // namespace norvax
