#include "x11_env.h"

#include "core/program_state.h"
#include "fakes/fake_program_control.h"
#include "platform/cp932.h"
#include "platform/processes.h"
#include "platform/wayland/gnome_window_system.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

// Qt before Xlib, whose macros clash with Qt's names.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include "fake-input-client-protocol.h"

extern char** environ;

namespace norvax::testing {
namespace {

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
            int stdoutFd, int closeFd) {
  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
  for (const auto& extra : extraEnv) {
    auto name = extra.substr(0, extra.find('=') + 1);
    std::erase_if(envStrings, [&](const std::string& s) { return s.rfind(name, 0) == 0; });
    envStrings.push_back(extra);
  }
  std::vector<char*> args, env;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (auto& e : envStrings) env.push_back(e.data());
  env.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
  if (closeFd >= 0) posix_spawn_file_actions_addclose(&actions, closeFd);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
  return pid;
}

// Xvfb on a free display number, which it writes to the given descriptor once it is ready.
pid_t StartXvfb(std::string& number) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  int childFd = dup(fds[1]);  // without O_CLOEXEC, so Xvfb inherits it
  const pid_t pid = Spawn({"Xvfb", "-displayfd", std::to_string(childFd), "-screen", "0",
                           "1024x768x24", "-nolisten", "tcp"},
                          {}, -1, fds[0]);
  close(childFd);
  close(fds[1]);
  pollfd p{fds[0], POLLIN, 0};
  char c;
  while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
  close(fds[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not start");
  return pid;
}

// A window manager announces itself on the root window (EWMH _NET_SUPPORTING_WM_CHECK).
bool WindowManagerRuns(const std::string& displayName) {
  Display* display = XOpenDisplay(displayName.c_str());
  if (display == nullptr) return false;
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const bool runs =
      XGetWindowProperty(display, DefaultRootWindow(display),
                         XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False), 0, 1, False,
                         XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
      count == 1;
  if (data) XFree(data);
  XCloseDisplay(display);
  return runs;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// Environment entries for children of a compositor: Qt on Wayland, or (x11) Qt's X11
// platform on Xwayland.
}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& extraEnv) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  pid_ = Spawn(argv, extraEnv, fds[1], fds[0]);
  close(fds[1]);
  out_ = fds[0];
}

ChildProcess::~ChildProcess() {
  Kill();
  if (out_ >= 0) close(out_);
}

bool ChildProcess::Exited() {
  if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;
  return pid_ <= 0;
}

void ChildProcess::Kill() {
  Stop(pid_);
  pid_ = -1;
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds timeout) {
  int status = 0;
  if (!WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeout)) {
    return std::nullopt;
  }
  pid_ = -1;
  return status;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    auto nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return line;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[4096];
    ssize_t n = read(out_, chunk, sizeof chunk);
    if (n <= 0) return std::nullopt;
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

bool ChildProcess::WaitForLine(const std::string& expected, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    auto line = ReadLine(left);
    if (!line) return false;
    if (*line == expected) return true;
  }
  return false;
}

std::map<std::string, std::string> ChildProcess::LastValuesUntil(
    const std::string& until, std::chrono::milliseconds timeout) {
  std::map<std::string, std::string> last;
  while (auto line = ReadLine(timeout)) {
    if (*line == until) break;
    auto colon = line->find(':');
    if (colon != std::string::npos) last[line->substr(0, colon)] = line->substr(colon + 1);
  }
  return last;
}

XServer::XServer(WindowManager windowManager) {
  // Another X server (of another sandbox on this machine: abstract sockets are shared) can
  // answer on the display number Xvfb chose, and a window manager started there fails. The
  // server of such a failed attempt runs on until the next one has chosen its number.
  for (int attempt = 1;; ++attempt) {
    std::string number;
    const pid_t xvfb = StartXvfb(number);
    Stop(xvfb_);
    xvfb_ = xvfb;
    display_ = ":" + number;
    if (windowManager == WindowManager::kNone) return;
    wm_.emplace(windowManager == WindowManager::kMatchbox
                    ? std::vector<std::string>{"matchbox-window-manager", "-use_titlebar", "no"}
                    : std::vector<std::string>{"openbox", "--sm-disable"},
                Env());
    // Xlib waits without end on a server that takes no new client (one left grabbed by a
    // window manager that failed as it started, seen with openbox once): the look runs on a
    // thread of its own, and that server is stopped, which ends the wait, when it takes long.
    auto started = std::async(std::launch::async, [this] {
      return WaitUntil([this] { return wm_->Exited() || WindowManagerRuns(display_); },
                       std::chrono::seconds(10)) &&
             !wm_->Exited();
    });
    if (started.wait_for(std::chrono::seconds(15)) == std::future_status::timeout) {
      Stop(std::exchange(xvfb_, -1));
    }
    if (started.get()) return;
    wm_.reset();
    if (attempt == 8) {
      Stop(xvfb_);
      throw std::runtime_error("the window manager did not start");
    }
  }
}

XServer::~XServer() {
  wm_.reset();
  Stop(xvfb_);
}

std::vector<std::string> XServer::Env() const {
  // A bus address that leads nowhere: without one, Qt would start a session bus (dbus-launch)
  // that joins the program's process tree and outlives it.
  return {"DISPLAY=" + display_, "QT_QPA_PLATFORM=xcb", "XAUTHORITY=/dev/null",
          "WAYLAND_DISPLAY=", "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/norvax-test-bus"};
}

FocusRace RaceTypingAgainstFocusChange(WindowSystem& windows, WindowSystem& other,
                                       ChildProcess& aProgram, WindowId a, WindowId b, int runs) {
  using namespace std::chrono_literals;
  const std::string text = "abcdefghijklmnopqrstuvwx";
  std::mt19937 random(23);
  FocusRace race;
  std::size_t received = 0;  // the length of a's first field, which keeps every run's text
  auto readUntil = [&](std::size_t length) {
    for (std::optional<std::string> line; received < length;) {
      if (!(line = aProgram.ReadLine(10s))) return false;
      if (line->starts_with("1:")) received = line->size() - 2;
    }
    return received == length;
  };
  auto activateA = [&] {
    return windows.SetForeground(a) && WaitUntil([&] { return windows.Foreground() == a; }, 5s);
  };
  for (int run = 0; run < runs && activateA(); ++run) {
    const std::size_t moveAt =
        received + std::uniform_int_distribution<std::size_t>(1, text.size() - 1)(random);
    std::thread mover([&] {
      if (readUntil(moveAt)) other.SetForeground(b);
    });
    const std::size_t typed = windows.TypeText(a, text);
    mover.join();
    race.cutShort += typed < text.size();
    race.typed += typed;
    if (!readUntil(race.typed)) return race;
  }
  // ENTER comes after every key before it: nothing more reached a.
  race.countsHold =
      activateA() && windows.PressKey(a, Key::Enter) && aProgram.ReadLine(10s) == "enter";
  return race;
}

WindowId WaitForWindow(WindowSystem& windows, const std::string& captionUtf8) {
  WindowId found = 0;
  WaitUntil(
      [&] {
        for (auto w : windows.TopLevelWindows()) {
          if (windows.Caption(w) == Sjis(captionUtf8)) found = w;
        }
        return found != 0;
      },
      std::chrono::seconds(10));
  return found;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::unique_ptr<SwayServer> SwayServer::Start() {
  if (access("/usr/bin/sway", X_OK) != 0) {
    std::cerr << "sway is not installed\n";
    return nullptr;
  }
  std::unique_ptr<SwayServer> server(new SwayServer);
  char dir[] = "/tmp/norvax-sway-XXXXXX";
  if (!mkdtemp(dir)) return nullptr;
  server->runtimeDir_ = dir;
  if (geteuid() == 0 && chown(dir, 65534, 65534) != 0) return nullptr;
  // Its first line says, once it is up, the names of its socket and of Xwayland's display.
  const std::string config = server->runtimeDir_ + "/config";
  std::ofstream(config) << "xwayland enable\nexec echo \"$WAYLAND_DISPLAY $DISPLAY\"\n";
  const std::string log = server->runtimeDir_ + "/sway.log";
  server->sway_.emplace(server->AsUser({"sh", "-c", "exec sway -c \"$0\" 2>\"$1\"", config, log}),
                        std::vector<std::string>{
                            "XDG_RUNTIME_DIR=" + server->runtimeDir_, "HOME=" + server->runtimeDir_,
                            "WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1",
                            "WLR_RENDERER=pixman", "WAYLAND_DISPLAY=", "DISPLAY="});
  const auto names = server->sway_->ReadLine(std::chrono::seconds(10)).value_or("");
  const auto space = names.find(' ');
  if (space == std::string::npos || space == 0) {
    std::cerr << "sway did not start:\n" << std::ifstream(log).rdbuf() << "\n";
    return nullptr;
  }
  server->waylandDisplay_ = names.substr(0, space);
  server->xDisplay_ = names.substr(space + 1);
  return server;
}

Compositor::~Compositor() {
  std::error_code ignored;
  std::filesystem::remove_all(runtimeDir_, ignored);
}

std::vector<std::string> Compositor::Env(bool x11) const {
  // No session bus: Qt would start one of its own, which outlives the test.
  std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + runtimeDir_, "HOME=" + runtimeDir_,
                                  "DBUS_SESSION_BUS_ADDRESS=unix:path=" + runtimeDir_ + "/no-bus"};
  if (x11) {
    env.insert(env.end(), {"DISPLAY=" + xDisplay_, "QT_QPA_PLATFORM=xcb",
                           "XAUTHORITY=" + xAuthority_, "WAYLAND_DISPLAY="});
  } else {
    env.insert(env.end(), {"WAYLAND_DISPLAY=" + Socket(), "QT_QPA_PLATFORM=wayland", "DISPLAY="});
  }
  return env;
}

SwayServer::~SwayServer() { sway_.reset(); }

std::vector<std::string> SwayServer::AsUser(std::vector<std::string> argv) const {
  if (geteuid() != 0) return argv;
  argv.insert(argv.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  return argv;
}

void MakeCoreApplication() {
  static int argc = 1;
  static char name[] = "norvax_x11_tests";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
}

NmMock::NmMock(const std::string& parameters) {
  MakeCoreApplication();
  bus_.emplace(std::vector<std::string>{"dbus-daemon",
                                        "--config-file=" NORVAX_TEST_TOOLS_DIR "/system_bus.conf",
                                        "--nofork", "--print-address"},
               std::vector<std::string>{});
  address_ = bus_->ReadLine(std::chrono::seconds(10)).value_or("");
  if (address_.empty()) throw std::runtime_error("the test bus did not start");
  setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
  parameters_ = parameters;
  RestartService();
}

void NmMock::RestartService() {
  mock_.emplace(std::vector<std::string>{"/usr/bin/python3", "-m", "dbusmock", "--system",
                                         "--template", NORVAX_TEST_TOOLS_DIR "/nm_mock.py", "-l",
                                         "/dev/null", "-p", parameters_},
                std::vector<std::string>{"DBUS_SYSTEM_BUS_ADDRESS=" + address_});
  if (!WaitForNetworkManager(address_, true)) {
    throw std::runtime_error("the NetworkManager stand-in did not start");
  }
}

void NmMock::Stall(bool stalled) { kill(mock_->Pid(), stalled ? SIGSTOP : SIGCONT); }

void NmMock::StopService() {
  mock_.reset();
  WaitForNetworkManager(address_, false);
}

QDBusConnection OpenBus(const std::string& address) {
  static std::atomic<int> connections{0};
  return QDBusConnection::connectToBus(QString::fromStdString(address),
                                       QStringLiteral("norvax-test-%1").arg(++connections));
}

bool WaitForNetworkManager(const std::string& address, bool registered) {
  QDBusConnection probe = OpenBus(address);
  return WaitUntil(
      [&] {
        return probe.interface()->isServiceRegistered(
                   QStringLiteral("org.freedesktop.NetworkManager")) == registered;
      },
      std::chrono::seconds(20));
}

NmMock::~NmMock() {
  mock_.reset();
  bus_.reset();
  unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

void EndWorker(ProgramState& state, fakes::FakeProgramControl& program, Processes& processes) {
  if (state.session.browserProcess != 0) {
    for (std::uint32_t pid : processes.ProcessTree(state.session.browserProcess)) {
      kill(static_cast<pid_t>(pid), SIGTERM);
    }
  }
  if (state.worker) state.worker->RequestStop();
  program.PumpUntil([&] { return !state.main.watchThreadRunning; }, std::chrono::seconds(20));
}

std::unique_ptr<KWinServer> KWinServer::Start(const std::string& layout) {
  if (access("/usr/bin/kwin_wayland", X_OK) != 0) {
    std::cerr << "kwin_wayland is not installed (kwin-wayland)\n";
    return nullptr;
  }
  std::unique_ptr<KWinServer> server(new KWinServer);
  char dir[] = "/tmp/norvax-kwin-XXXXXX";
  if (!mkdtemp(dir)) return nullptr;
  server->runtimeDir_ = dir;
  const std::string& run = server->runtimeDir_;
  std::filesystem::create_directories(run + "/config");
  std::filesystem::create_directories(run + "/data/applications");
  std::ofstream(run + "/config/kxkbrc") << "[Layout]\nLayoutList=" << layout << "\nUse=true\n";
  std::ofstream(run + "/config/kwinrc") << "[Windows]\nPlacement=Centered\n";
  std::error_code copyError;
  std::filesystem::copy_file("/usr/bin/kwin_wayland", run + "/kwin_wayland", copyError);
  server->bus_.emplace(
      std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--print-address"},
      std::vector<std::string>{});
  const std::string address = server->address_ =
      server->bus_->ReadLine(std::chrono::seconds(10)).value_or("");
  if (copyError || address.empty()) {
    std::cerr << "no copy of kwin_wayland or no session bus\n";
    return nullptr;
  }
  setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  // Its programs start once it is up, Xwayland too: the first says the names of both.
  std::ofstream(run + "/ready") << "echo \"norvax-ready $WAYLAND_DISPLAY $DISPLAY\"\n";
  const std::string log = run + "/kwin.log";
  server->kwin_.emplace(
      std::vector<std::string>{"sh", "-c",
                               "exec \"$0\"/kwin_wayland --virtual --no-lockscreen --xwayland "
                               "--socket norvax-kwin --width 1024 --height 768 "
                               "\"sh $0/ready\" 2>\"$0\"/kwin.log",
                               run},
      std::vector<std::string>{"XDG_RUNTIME_DIR=" + run, "HOME=" + run,
                               "XDG_CONFIG_HOME=" + run + "/config",
                               "XDG_DATA_HOME=" + run + "/data", "XDG_CACHE_HOME=" + run + "/cache",
                               "DBUS_SESSION_BUS_ADDRESS=" + address,
                               "WAYLAND_DISPLAY=", "DISPLAY=", "QT_QPA_PLATFORM="});
  std::string names;
  while (auto line = server->kwin_->ReadLine(std::chrono::seconds(20))) {
    if (line->starts_with("norvax-ready ")) {
      names = line->substr(13);
      break;
    }
  }
  const auto space = names.find(' ');
  if (space == std::string::npos || space == 0) {
    std::cerr << "kwin_wayland did not start:\n" << std::ifstream(log).rdbuf() << "\n";
    return nullptr;
  }
  server->waylandDisplay_ = names.substr(0, space);
  server->xDisplay_ = names.substr(space + 1);
  // Its programs may start before its name is on the bus.
  const std::string hasName = "dbus-send --bus='" + address +
                              "' --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "
                              "org.freedesktop.DBus.NameHasOwner string:org.kde.KWin 2>/dev/null "
                              "| grep -q 'boolean true'";
  if (!WaitUntil([&] { return std::system(hasName.c_str()) == 0; }, std::chrono::seconds(10))) {
    std::cerr << "kwin_wayland is not on its bus:\n" << std::ifstream(log).rdbuf() << "\n";
    return nullptr;
  }
  return server;
}

KWinServer::~KWinServer() {
  kwin_.reset();
  bus_.reset();
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

bool KWinServer::Running() {
  return !kwin_->Exited() &&
         OpenBus(address_).interface()->isServiceRegistered(QStringLiteral("org.kde.KWin"));
}

void KWinServer::GrantFakeInput(const std::string& program) const {
  static int files = 0;
  std::ofstream(DataHome() + "/applications/norvax-test-" + std::to_string(++files) + ".desktop")
      << "[Desktop Entry]\nType=Application\nName=NORVAX test\nNoDisplay=true\nExec=" << program
      << "\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n";
}

namespace {

class KWinPointer : public VirtualPointer {
 public:
  explicit KWinPointer(const std::string& socket) : display_(wl_display_connect(socket.c_str())) {
    if (!display_) return;
    registry_ = wl_display_get_registry(display_);
    static const wl_registry_listener listener{
        [](void* data, wl_registry* registry, std::uint32_t name, const char* interface,
           std::uint32_t) {
          if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) != 0) return;
          static_cast<KWinPointer*>(data)->input_ = static_cast<org_kde_kwin_fake_input*>(
              wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 1));
        },
        [](void*, wl_registry*, std::uint32_t) {}};
    wl_registry_add_listener(registry_, &listener, this);
    wl_display_roundtrip(display_);
    if (input_) org_kde_kwin_fake_input_authenticate(input_, "NORVAX tests", "a user's mouse");
  }
  ~KWinPointer() override {
    if (input_) org_kde_kwin_fake_input_destroy(input_);
    if (registry_) wl_registry_destroy(registry_);
    if (display_) wl_display_disconnect(display_);
  }
  bool MoveBy(double dx, double dy) override {
    if (!input_) return false;
    org_kde_kwin_fake_input_pointer_motion(input_, wl_fixed_from_double(dx),
                                           wl_fixed_from_double(dy));
    return wl_display_roundtrip(display_) >= 0;
  }
  bool LeftButton(bool pressed) override {
    if (!input_) return false;
    org_kde_kwin_fake_input_button(input_, BTN_LEFT, pressed ? 1 : 0);
    return wl_display_roundtrip(display_) >= 0;
  }

 private:
  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  org_kde_kwin_fake_input* input_ = nullptr;
};

// A remote-desktop session of Mutter's; it ends when its connection does.
class GnomePointer : public VirtualPointer {
 public:
  explicit GnomePointer(const std::string& busAddress) : bus_(OpenBus(busAddress)) {
    const QDBusMessage reply = bus_.call(
        QDBusMessage::createMethodCall(kService, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"),
                                       kService, QStringLiteral("CreateSession")));
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
      session_ = reply.arguments().first().value<QDBusObjectPath>().path();
    }
    started_ = !session_.isEmpty() && Call(QStringLiteral("Start"), {});
  }
  ~GnomePointer() override {
    if (started_) Call(QStringLiteral("Stop"), {});
  }
  bool MoveBy(double dx, double dy) override {
    return started_ && Call(QStringLiteral("NotifyPointerMotionRelative"), {dx, dy});
  }
  bool LeftButton(bool pressed) override {
    return started_ && Call(QStringLiteral("NotifyPointerButton"), {BTN_LEFT, pressed});
  }

 private:
  static constexpr QLatin1StringView kService{"org.gnome.Mutter.RemoteDesktop"};

  bool Call(const QString& method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, session_, QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session"), method);
    call.setArguments(arguments);
    return bus_.call(call).type() == QDBusMessage::ReplyMessage;
  }

  QDBusConnection bus_;
  QString session_;
  bool started_ = false;
};

}  // namespace

std::unique_ptr<VirtualPointer> KWinServer::Pointer() const {
  return std::make_unique<KWinPointer>(Socket());
}

std::unique_ptr<VirtualPointer> GnomeShellServer::Pointer() const {
  return std::make_unique<GnomePointer>(sessionBus_);
}

}  // namespace norvax::testing

namespace norvax::testing {

std::unique_ptr<GnomeShellServer> GnomeShellServer::Start(bool extension,
                                                          const std::string& layout) {
  if (access("/usr/bin/gnome-shell", X_OK) != 0) {
    std::cerr << "gnome-shell is not installed\n";
    return nullptr;
  }
  std::unique_ptr<GnomeShellServer> server(new GnomeShellServer);
  char dir[] = "/tmp/norvax-gnome-XXXXXX";
  if (!mkdtemp(dir)) return nullptr;
  namespace fs = std::filesystem;
  const fs::path root = dir;
  server->runtimeDir_ = dir;
  server->waylandDisplay_ = "wayland-norvax";
  fs::create_directories(root / "data/gnome-shell/extensions");
  fs::create_directories(root / "config/glib-2.0/settings");
  if (extension) {
    fs::copy(NORVAX_GNOME_EXTENSIONS_DIR, root / "data/gnome-shell/extensions",
             fs::copy_options::recursive);
    // It answers this program too, as it does NORVAX's own.
    for (const auto& copy : fs::directory_iterator(root / "data/gnome-shell/extensions")) {
      std::ofstream(copy.path() / "programs", std::ios::app)
          << fs::read_symlink("/proc/self/exe").string() << "\n";
    }
  }
  // The keyfile settings backend: the shell takes the keyboard layout from the input sources.
  std::ofstream(root / "config/glib-2.0/settings/keyfile")
      << "[org/gnome/desktop/input-sources]\nsources=[('xkb', '" << layout << "')]\n"
      << "[org/gnome/mutter]\ncenter-new-windows=true\n";
  // Both buses without service activation: nothing starts that the test does not stop.
  auto startBus = [](std::optional<ChildProcess>& bus) {
    bus.emplace(std::vector<std::string>{"dbus-daemon",
                                         "--config-file=" NORVAX_TEST_TOOLS_DIR "/system_bus.conf",
                                         "--nofork", "--print-address"},
                std::vector<std::string>{});
    return bus->ReadLine(std::chrono::seconds(10)).value_or("");
  };
  const std::string systemBus = startBus(server->systemBus_);
  server->sessionBus_ = startBus(server->bus_);
  if (systemBus.empty() || server->sessionBus_.empty()) return nullptr;
  server->logind_.emplace(std::vector<std::string>{"/usr/bin/python3", "-m", "dbusmock", "--system",
                                                   "--template", "logind", "-l", "/dev/null"},
                          std::vector<std::string>{"DBUS_SYSTEM_BUS_ADDRESS=" + systemBus});
  // No PATH: the shell would start an ibus daemon of its own, which outlives it.
  const std::string log = (root / "shell.log").string();
  server->shell_.emplace(
      std::vector<std::string>{"/bin/sh", "-c",
                               "exec /usr/bin/gnome-shell --headless --wayland "
                               "--wayland-display=wayland-norvax --virtual-monitor 1024x768 "
                               ">\"$0\" 2>&1",
                               log},
      std::vector<std::string>{
          "XDG_RUNTIME_DIR=" + server->runtimeDir_, "HOME=" + server->runtimeDir_,
          "XDG_DATA_HOME=" + (root / "data").string(),
          "XDG_CONFIG_HOME=" + (root / "config").string(), "GSETTINGS_BACKEND=keyfile",
          "DBUS_SESSION_BUS_ADDRESS=" + server->sessionBus_, "DBUS_SYSTEM_BUS_ADDRESS=" + systemBus,
          "PATH=/nonexistent", "NO_AT_BRIDGE=1", "GTK_A11Y=none", "WAYLAND_DISPLAY=", "DISPLAY="});
  // Up once the shell answers on the bus and Xwayland has its display.
  auto logText = [&] {
    std::stringstream text;
    text << std::ifstream(log).rdbuf();
    return text.str();
  };
  const std::string marker = "Using public X11 display ";
  const bool up = WaitUntil(
      [&] {
        return server->shell_->Exited() ||
               (logText().find(marker) != std::string::npos &&
                GnomeWindowSystem(server->sessionBus_.c_str()).Available());
      },
      std::chrono::seconds(30));
  if (!up || server->shell_->Exited()) {
    std::cerr << "gnome-shell did not start:\n" << logText() << "\n";
    return nullptr;
  }
  const std::string text = logText();
  const auto at = text.find(marker) + marker.size();
  server->xDisplay_ = text.substr(at, text.find_first_of(", \n", at) - at);
  for (const auto& entry : fs::directory_iterator(root)) {
    if (entry.path().filename().string().starts_with(".mutter-Xwaylandauth."))
      server->xAuthority_ = entry.path().string();
  }
  return server;
}

GnomeShellServer::~GnomeShellServer() {
  shell_.reset();
  logind_.reset();
  bus_.reset();
  systemBus_.reset();
}

}  // namespace norvax::testing
