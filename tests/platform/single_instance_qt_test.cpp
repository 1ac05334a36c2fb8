// The hand-over between copies of the program on one program directory, through the real
// socket: where it lies, whom it talks to, and what a later start learns.
#include "platform/qt/single_instance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDataStream>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLocalSocket>
#include <QTimer>
#include <atomic>
#include <cstring>
#include <future>
#include <optional>
#include <thread>

#include "platform/cp932.h"
#include "test_files.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Sets (or, with nullptr, clears) an environment variable for one test.
struct Environment {
  Environment(const char* name, const char* value) : name(name) {
    if (const char* old = getenv(name)) saved = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~Environment() { saved ? setenv(name, saved->c_str(), 1) : unsetenv(name); }
  const char* name;
  std::optional<std::string> saved;
};

// Runs the event loop until done() holds; false after 10 s.
bool RunUntil(const std::function<bool()>& done) {
  QDeadlineTimer deadline(10s);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

bool Listens(const fs::path& path) {
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(path.string()));
  return socket.waitForConnected(1000);
}

sockaddr_un Address(const fs::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  return address;
}

// A process of the user nobody that runs work (system calls only) and ends with its result.
pid_t AsNobody(const std::function<int()>& work) {
  pid_t pid = fork();
  if (pid == 0) _exit(setgid(65534) == 0 && setuid(65534) == 0 ? work() : 100);
  return pid;
}

TEST(SingleInstance, TheSocketLiesInAPrivateRuntimeDirectoryAndFollowsTheProgramDirectory) {
  testing::TempDir dir, runtime, elsewhere;
  const fs::path link = elsewhere / "link";
  fs::create_directory_symlink(dir.Path(), link);
  testing::WriteFile(elsewhere / "file", "");
  struct Case {
    fs::path runtime;
    mode_t mode;
    uid_t owner;
    fs::path expected;
  } cases[] = {
      {runtime.Path(), 0700, geteuid(), runtime.Path()},
      {runtime.Path(), 0755, geteuid(), dir.Path()},      // others may look in
      {runtime.Path(), 0700, 65534, dir.Path()},          // another user's (root only)
      {elsewhere / "file", 0700, geteuid(), dir.Path()},  // not a directory
      {"", 0700, geteuid(), dir.Path()},                  // none
  };
  for (const Case& c : cases) {
    if (c.owner != geteuid() && geteuid() != 0) continue;
    if (!c.runtime.empty()) {
      ASSERT_EQ(chmod(c.runtime.c_str(), c.mode), 0);
      ASSERT_EQ(chown(c.runtime.c_str(), c.owner, static_cast<gid_t>(-1)), 0);
    }
    Environment xdg("XDG_RUNTIME_DIR", c.runtime.empty() ? nullptr : c.runtime.c_str());
    const fs::path path = SingleInstance::SocketPath(dir.Path());
    EXPECT_EQ(path.parent_path(), c.expected) << c.runtime << " " << c.mode;
    // The same directory under another name, with another temporary folder, is the same.
    Environment tmp("TMPDIR", elsewhere.Path().c_str());
    const fs::path other = SingleInstance::SocketPath(link);
    EXPECT_TRUE(other.filename() == path.filename() &&
                fs::equivalent(other.parent_path(), path.parent_path()))
        << other;
    {
      SingleInstance first(link);
      ASSERT_TRUE(first.First());
      EXPECT_EQ(first.ListenFailure(), "");
      EXPECT_TRUE(Listens(path)) << path;
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(path))) << "removed at the end";
    ASSERT_EQ(chown(runtime.Path().c_str(), geteuid(), static_cast<gid_t>(-1)), 0);
  }
}

TEST(SingleInstance, AStaleSocketOfTheUsersOwnIsReplacedAnyOtherFileIsLeftAndSaidSo) {
  Environment xdg("XDG_RUNTIME_DIR", nullptr);
  testing::TempDir dir;
  const fs::path path = SingleInstance::SocketPath(dir.Path());
  // Left by a copy that was killed: bound, never removed.
  int stale = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address = Address(path);
  ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(stale);
  {
    SingleInstance first(dir.Path());
    EXPECT_EQ(first.ListenFailure(), "");
    EXPECT_TRUE(Listens(path));
  }
  testing::WriteFile(path, "not ours");
  if (geteuid() == 0) {
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
  }
  SingleInstance first(dir.Path());
  ASSERT_TRUE(first.First());
  EXPECT_NE(first.ListenFailure().find(Cp932ForDisplay(path.string())), std::string::npos)
      << first.ListenFailure();
  EXPECT_EQ(testing::ReadFile(path), "not ours");
}

TEST(SingleInstance, ALaterStartWaitsForABusyFirstCopyAndLearnsItsAnswer) {
  Environment xdg("XDG_RUNTIME_DIR", nullptr);
  // No answer: the first copy ends before it takes the command line.
  for (std::optional<StartAnswer> answer :
       {std::optional{StartAnswer::kTaken}, std::optional{StartAnswer::kEditing},
        std::optional{StartAnswer::kEnding}, std::optional<StartAnswer>{}}) {
    testing::TempDir dir;
    auto first = std::make_unique<SingleInstance>(dir.Path());
    SingleInstance later(dir.Path());
    ASSERT_FALSE(later.First());
    std::promise<void> waiting;
    std::atomic<bool> done = false;
    std::string failure;
    std::thread start([&] {
      failure = later.HandOver({"2"}, 50ms, [&] { waiting.set_value(); });
      done = true;
    });
    // The first copy is busy (runs no events) until the later start has waited past its
    // patience.
    const bool waited = waiting.get_future().wait_for(10s) == std::future_status::ready;
    QStringList received;
    if (answer) {
      first->Receive([&](const QStringList& args) {
        received = args;
        return *answer;
      });
    } else {
      first.reset();
    }
    EXPECT_TRUE(RunUntil([&] { return done.load(); }));
    start.join();
    EXPECT_TRUE(waited);
    EXPECT_EQ(received, answer ? QStringList{"2"} : QStringList{});
    EXPECT_EQ(failure.empty(), answer == StartAnswer::kTaken) << failure;
  }
}

TEST(SingleInstance, APeerOfAnotherUserIsRefusedOnBothSides) {
  if (geteuid() != 0) GTEST_SKIP() << "a peer of another user needs root to make";
  Environment xdg("XDG_RUNTIME_DIR", nullptr);
  testing::TempDir dir;
  ASSERT_EQ(chmod(dir.Path().c_str(), 0777), 0);
  const fs::path path = SingleInstance::SocketPath(dir.Path());
  const sockaddr_un address = Address(path);

  // A later start finds another user's socket in the place of the first copy's.
  {
    InstanceLock running(dir.Path());
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t squatter = AsNobody([&] {
      int fd = socket(AF_UNIX, SOCK_STREAM, 0);
      if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
          listen(fd, 1) != 0 || write(ready[1], "r", 1) != 1) {
        return 2;
      }
      int peer = accept(fd, nullptr, nullptr);
      char buffer[256];
      ssize_t n = read(peer, buffer, sizeof buffer);
      return n > 0 && write(peer, "1", 1) == 1 ? 1 : 0;  // 1: it got the command line
    });
    close(ready[1]);
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    SingleInstance later(dir.Path());
    const std::string failure = later.HandOver({"2"}, 1s);
    EXPECT_NE(failure, "");
    int status = 0;
    ASSERT_EQ(waitpid(squatter, &status, 0), squatter);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the squatter got nothing";
    unlink(path.c_str());
  }

  // The first copy gets a connection from another user (its socket made reachable).
  SingleInstance first(dir.Path());
  ASSERT_EQ(chmod(path.c_str(), 0777), 0);
  int calls = 0;
  first.Receive([&](const QStringList&) {
    ++calls;
    return StartAnswer::kTaken;
  });
  QByteArray message;
  QDataStream out(&message, QIODevice::WriteOnly);
  out << QStringList{"2"};
  pid_t intruder = AsNobody([&] {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return 2;
    // The first copy may have closed the connection already.
    [[maybe_unused]] ssize_t n =
        write(fd, message.constData(), static_cast<std::size_t>(message.size()));
    char answer;
    return read(fd, &answer, 1) == 1 ? 1 : 0;  // 1: it got an answer
  });
  int status = -1;
  EXPECT_TRUE(RunUntil([&] { return waitpid(intruder, &status, WNOHANG) == intruder; }));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "no answer";
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace norvax
