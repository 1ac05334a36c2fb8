// Test environment for code that talks to a display server: a private Xvfb (optionally with
// a window manager) or a headless sway, and child programs whose output the test reads.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QDBusConnection>

#include "platform/window_system.h"

namespace norvax {
struct ProgramState;
class Processes;
namespace fakes {
class FakeProgramControl;
}
}  // namespace norvax

namespace norvax::testing {

// A child process with its stdout on a pipe; killed when the object goes.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  // True once the process has ended.
  bool Exited();
  // The next line of output, or nothing when none arrives within timeout.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
  // Reads lines until one equals expected; false on timeout.
  bool WaitForLine(const std::string& expected, std::chrono::milliseconds timeout);
  // Reads "field:value" lines until the line `until` (or a pause of timeout) and returns the
  // last value of each field.
  std::map<std::string, std::string> LastValuesUntil(const std::string& until,
                                                     std::chrono::milliseconds timeout);
  void Kill();
  // Waits for the program to end by itself: its wait status, or nothing on timeout.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

enum class WindowManager { kNone, kMatchbox, kOpenbox };

// Xvfb on a free display number, with a window manager when asked; the window manager
// manages windows once the constructor returns.
class XServer {
 public:
  explicit XServer(WindowManager windowManager);
  // With matchbox-window-manager or none.
  explicit XServer(bool windowManager)
      : XServer(windowManager ? WindowManager::kMatchbox : WindowManager::kNone) {}
  ~XServer();
  const std::string& Display() const { return display_; }
  // Environment entries for children that use this display with Qt's X11 platform.
  std::vector<std::string> Env() const;

 private:
  std::string display_;
  pid_t xvfb_ = -1;
  std::optional<ChildProcess> wm_;
};

// A mouse of the test's own, which the compositor moves and clicks as it does a user's.
class VirtualPointer {
 public:
  virtual ~VirtualPointer() = default;
  // Moves the pointer by (dx, dy) pixels (the compositor keeps it on the screen); false
  // when the compositor did not take the request.
  virtual bool MoveBy(double dx, double dy) = 0;
  virtual bool LeftButton(bool pressed) = 0;
};

// What every headless compositor of the tests has: a private runtime directory (mode 0700),
// removed when the object goes, that holds its socket; Xwayland.
class Compositor {
 public:
  virtual ~Compositor();
  // The path of the compositor's socket (a WAYLAND_DISPLAY of its own).
  std::string Socket() const { return runtimeDir_ + "/" + waylandDisplay_; }
  // Environment entries for children: Qt on Wayland, or (x11) Qt's X11 platform on Xwayland.
  std::vector<std::string> Env(bool x11 = false) const;
  // A mouse of the test's own; nothing where the compositor offers none.
  virtual std::unique_ptr<VirtualPointer> Pointer() const { return nullptr; }
  // argv run as the user the compositor runs as.
  virtual std::vector<std::string> AsUser(std::vector<std::string> argv) const { return argv; }

 protected:
  Compositor() = default;
  std::string runtimeDir_, waylandDisplay_, xDisplay_, xAuthority_ = "/dev/null";
};

// A headless sway (a wlroots compositor), ready once Start returns. Sway refuses to run as root: a
// root test runs it, and the programs that stand for the desktop's (AsUser), as the user nobody
// (uid 65534).
class SwayServer : public Compositor {
 public:
  // Nothing, and why on stderr, when sway is missing or does not start.
  static std::unique_ptr<SwayServer> Start();
  ~SwayServer() override;
  std::vector<std::string> AsUser(std::vector<std::string> argv) const override;

 private:
  SwayServer() = default;
  std::optional<ChildProcess> sway_;
};

// A headless GNOME Shell, on a private session bus, with the logind stand-in
// of python-dbusmock on a private bus of the system type, in a private runtime, data and
// settings directory that hold the user's layout and (when asked) NORVAX's extension, not
// enabled, which answers this program as it does NORVAX's own. New windows are placed in the middle
// of the screen. Ready once Start returns; everything started is stopped by process id.
class GnomeShellServer : public Compositor {
 public:
  // Nothing, and why on stderr, when gnome-shell is missing or does not start.
  static std::unique_ptr<GnomeShellServer> Start(bool extension, const std::string& layout);
  ~GnomeShellServer() override;
  const std::string& BusAddress() const { return sessionBus_; }
  // A mouse through the shell's remote desktop.
  std::unique_ptr<VirtualPointer> Pointer() const override;

 private:
  GnomeShellServer() = default;
  std::string sessionBus_;
  std::optional<ChildProcess> systemBus_, logind_, bus_, shell_;
};

// A private bus of the system type (its address is DBUS_SYSTEM_BUS_ADDRESS of this process
// while the object lives) with the NetworkManager stand-in tests/tools/nm_mock.py on it,
// started with the given JSON parameters. Makes the QCoreApplication the adapter needs.
class NmMock {
 public:
  explicit NmMock(const std::string& parameters);
  ~NmMock();
  const std::string& Address() const { return address_; }
  // Ends the stand-in and waits until its name has gone; the bus stays.
  void StopService();
  // Starts a new stand-in (after StopService), with the same parameters.
  void RestartService();
  // The stand-in stops answering, as a hung service does (its process is stopped; its name
  // stays on the bus), or answers again.
  void Stall(bool stalled);

 private:
  std::optional<ChildProcess> bus_;
  std::string address_;
  std::optional<ChildProcess> mock_;
  std::string parameters_;
};

// A connection of its own to the bus at address, left open until the test program ends
// (giving up a connection's last reference while Qt's bus thread handles its traffic has
// that thread crash at times).
QDBusConnection OpenBus(const std::string& address);
// Waits until NetworkManager's name is (or is no longer) registered on the bus at address;
// false on timeout.
bool WaitForNetworkManager(const std::string& address, bool registered);
// A headless KWin (kwin_wayland 5 or 6) as root, on a session bus of its own
// and in private runtime, data and configuration directories, ready once Start returns.
// The installed kwin_wayland carries a file capability that a container may refuse: a plain
// copy of it runs. New windows are placed in the middle of the screen. The bus is
// DBUS_SESSION_BUS_ADDRESS of this process while the object lives.
class KWinServer : public Compositor {
 public:
  // Nothing, and why on stderr, when kwin_wayland is missing or does not start; layout:
  // the keyboard's XKB layout.
  static std::unique_ptr<KWinServer> Start(const std::string& layout = "us");
  ~KWinServer() override;
  // Lets program type through fake input: an installed .desktop file names it.
  void GrantFakeInput(const std::string& program) const;
  // The XDG_DATA_HOME whose applications KWin reads.
  std::string DataHome() const { return runtimeDir_ + "/data"; }
  // A mouse through fake input (this program must have the grant).
  std::unique_ptr<VirtualPointer> Pointer() const override;
  // True while KWin runs and holds its name on its bus.
  bool Running();

 private:
  KWinServer() = default;
  std::string address_;
  std::optional<ChildProcess> bus_, kwin_;
};

// The QCoreApplication that adapters on D-Bus need, when no application is made yet.
void MakeCoreApplication();

// Ends a launch's worker thread, whatever way the test ends (a failed assertion returns
// early while the worker may wait for the main thread): ends the browser's processes, asks
// the worker to stop and runs the main-thread work it waits for. Declare it after the state
// and the program control it names, so that it runs before they go.
void EndWorker(ProgramState& state, fakes::FakeProgramControl& program, Processes& processes);

// Types text into window a of aProgram, runs times, while another program (other: a
// connection of its own) moves the focus to window b once a has received a random number of
// the characters (fixed seed).
struct FocusRace {
  int cutShort = 0;         // runs the focus change stopped before the end of the text
  std::size_t typed = 0;    // characters the typing counted, all runs
  bool countsHold = false;  // a received exactly those
};
FocusRace RaceTypingAgainstFocusChange(WindowSystem& windows, WindowSystem& other,
                                       ChildProcess& aProgram, WindowId a, WindowId b, int runs);

// The window whose caption is captionUtf8, once the window system lists it; 0 when it does
// not within 10 seconds.
WindowId WaitForWindow(WindowSystem& windows, const std::string& captionUtf8);

// Polls condition until it holds or timeout passes (real time: the X server and the
// programs under test run on their own).
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

}  // namespace norvax::testing
