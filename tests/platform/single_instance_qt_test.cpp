// The hand-over between copies of the program on one program directory, through the real
// socket: where it lies, whom it talks to, and what a later start learns.
#include "platform/qt/single_instance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QEventLoop>
#include <future>
#include <thread>

#include "platform/cp932.h"
#include "test_files.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A socket bound at path, as a copy leaves it when it is killed.
int Bound(const fs::path& path) {
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{AF_UNIX, {}};
  path.string().copy(address.sun_path, sizeof address.sun_path - 1);
  return bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? fd : -1;
}

TEST(SingleInstance, TheSocketIsTheUsersOwnAndFollowsTheProgramDirectoryItself) {
  testing::TempDir runtime, parent;
  const fs::path dir = parent / "a", moved = parent / "b";
  for (mode_t mode : {0700, 0755, 0}) {  // 0: no runtime directory
    fs::create_directory(dir);
    ASSERT_EQ(chmod(runtime.Path().c_str(), mode ? mode : 0700), 0);
    mode ? setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1) : unsetenv("XDG_RUNTIME_DIR");
    const fs::path path = SingleInstance::SocketPath(dir);
    EXPECT_EQ(path.parent_path(), mode == 0700 ? runtime.Path() : dir) << mode;
    close(Bound(path));
    {
      SingleInstance first(dir);
      EXPECT_EQ(first.ListenFailure(), "");
      // Renamed while the copy runs, the directory is still the copy's.
      fs::rename(dir, moved);
      EXPECT_TRUE(fs::is_socket(SingleInstance::SocketPath(moved))) << mode;
    }
    EXPECT_FALSE(fs::exists(SingleInstance::SocketPath(moved))) << "removed at the end";
    fs::remove_all(moved);
  }
  // Anything but a socket of the user's own stays, also after the copy ended, and the copy
  // says it cannot listen.
  fs::create_directory(dir);
  testing::WriteFile(dir / "norvax.sock", "not ours");
  {
    SingleInstance first(dir);
    EXPECT_NE(first.ListenFailure().find((dir / "norvax.sock").string()), std::string::npos);
  }
  EXPECT_EQ(testing::ReadFile(dir / "norvax.sock"), "not ours");
}

TEST(SingleInstance, ALaterStartWaitsForABusyFirstCopyAndLearnsItsAnswer) {
  // No answer: the first copy ends before it takes the command line.
  const StartReply refused{StartAnswer::kRefused, "busy\nnow"};
  for (auto answer : {std::optional<StartReply>{StartAnswer::kTaken},
                      std::optional<StartReply>{StartAnswer::kEditing},
                      std::optional<StartReply>{StartAnswer::kEnding},
                      std::optional<StartReply>{refused}, std::optional<StartReply>{}}) {
    testing::TempDir dir;
    auto first = std::make_unique<SingleInstance>(dir.Path());
    std::promise<void> waiting;
    std::string failure;
    QEventLoop loop;
    std::thread later([&] {
      failure = SingleInstance(dir.Path()).HandOver({"2"}, 50ms, [&] { waiting.set_value(); });
      QMetaObject::invokeMethod(&loop, &QEventLoop::quit);
    });
    // The first copy runs no events until the later start has waited past its patience.
    EXPECT_EQ(waiting.get_future().wait_for(10s), std::future_status::ready);
    QStringList received;
    if (answer) {
      first->Receive([&](const QStringList& args) {
        received = args;
        return *answer;
      });
    } else {
      first.reset();
    }
    loop.exec();
    later.join();
    EXPECT_EQ(received, answer ? QStringList{"2"} : QStringList{});
    EXPECT_EQ(failure.empty(), answer == StartAnswer::kTaken) << failure;
    if (answer == refused) {
      EXPECT_EQ(failure, refused.reason) << "the first copy's own words";
    }
  }
}

// A copy started where XDG_RUNTIME_DIR differs looks for the socket in another place: it
// says that a copy seems to run and how to reach it.
TEST(SingleInstance, ALaterStartThatCannotFindTheSocketSaysWhereTheFirstCopyMayRun) {
  testing::TempDir runtime, dir;
  ASSERT_EQ(chmod(runtime.Path().c_str(), 0700), 0);
  setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
  SingleInstance first(dir.Path());
  unsetenv("XDG_RUNTIME_DIR");
  const std::string failure = SingleInstance(dir.Path()).HandOver({"2"}, 50ms);
  EXPECT_EQ(Cp932ToUtf8(failure),
            "起動中の NORVAX に接続できません。\n" + dir.Path().string() +
                " では別の NORVAX が起動しているようですが、その接続口 " +
                (dir / "norvax.sock").string() +
                " がありません。XDG_RUNTIME_DIR の違う環境（別のセッションなど）で起動された "
                "NORVAX かもしれません。その NORVAX と同じセッション（同じ XDG_RUNTIME_DIR）"
                "から起動して下さい。");
}

// What holds the directory for a moment may be no copy (a log command, a call's guardian):
// a later start becomes the first copy once it lets go, instead of failing to hand over.
TEST(SingleInstance, ALaterStartBecomesTheFirstCopyWhenAHolderThatIsNoCopyLetsGo) {
  testing::TempDir dir;
  auto holder = std::make_unique<InstanceLock>(dir.Path());
  SingleInstance later(dir.Path());
  ASSERT_FALSE(later.First());
  holder.reset();
  EXPECT_EQ(later.HandOver({"2"}, 10s), "");
  EXPECT_TRUE(later.First());
  EXPECT_TRUE(fs::is_socket(SingleInstance::SocketPath(dir.Path()))) << "it listens";
}

TEST(SingleInstance, ALaterStartHandsNothingToASocketOfAnotherUser) {
  if (geteuid() != 0) GTEST_SKIP() << "a socket of another user needs root to make";
  testing::TempDir dir;
  InstanceLock running(dir.Path());
  // Bound in the running copy's place, listening as the user nobody.
  const int fd = Bound(SingleInstance::SocketPath(dir.Path()));
  pid_t squatter = fork();
  if (squatter == 0) {
    char buffer[256];
    int peer = setuid(65534) == 0 && listen(fd, 1) == 0 ? accept(fd, nullptr, nullptr) : -1;
    _exit(read(peer, buffer, sizeof buffer) > 0 && write(peer, "1", 1) == 1 ? 1 : 0);
  }
  close(fd);
  EXPECT_NE(SingleInstance(dir.Path()).HandOver({"2"}, 1s), "");
  int status = -1;
  ASSERT_EQ(waitpid(squatter, &status, 0), squatter);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "it got the command line";
}

}  // namespace
}  // namespace norvax
