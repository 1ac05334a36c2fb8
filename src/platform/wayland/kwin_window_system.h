// Adapter: windows of other programs on KWin (KDE Plasma's compositor) under Wayland. The
// window list, activation, minimising and maximising through scripts it gives KWin over the
// session bus (org.kde.kwin.Scripting: KWin 5 and 6), which report back to a connection
// of its own; typing through org_kde_kwin_fake_input (version 4), whose keys KWin reads
// with the user's layout. KWin offers fake input only to a program whose executable is
// the Exec of an installed .desktop file that names the interface in
// X-KDE-Wayland-Interfaces; without it windows are found but nothing is typed.
#pragma once

#include <memory>

#include "platform/window_system.h"

namespace norvax {

class KWinWindowSystem : public WindowSystem {
 public:
  // Its own connections: to the compositor (nullptr: $WAYLAND_DISPLAY) and to the session
  // bus. Needs a QCoreApplication.
  explicit KWinWindowSystem(const char* displayName = nullptr);
  ~KWinWindowSystem() override;
  KWinWindowSystem(const KWinWindowSystem&) = delete;
  KWinWindowSystem& operator=(const KWinWindowSystem&) = delete;

  // True when the compositor answers and KWin answers on the session bus.
  bool Available() const;

  // Windows in KWin's stacking order, the topmost first; the class is KWin's resource
  // class (an app id, or an Xwayland program's X11 class).
  std::vector<WindowId> TopLevelWindows() override;
  // As the last list (or Exists, Foreground) had them.
  std::string Caption(WindowId window) override;
  std::string ClassName(WindowId window) override;
  std::uint32_t ProcessId(WindowId window) override;
  bool Exists(WindowId window) override;
  WindowId Foreground() override;
  bool SetForeground(WindowId window) override;
  // A guard script in KWin activates target again the moment another window takes the
  // activation (before KWin reads another key) and reports any change of the activation.
  // Before every key a round trip confirms the keys before it and one to KWin brings the
  // guard's reports; the typing stops when the activation changed, and the window that
  // took it is given it at the end. The guard ends by itself when this connection leaves
  // the bus, when target closes and after kGuardLifetimeMs; a typing renews it.
  std::size_t TypeText(WindowId target, std::string_view text) override;
  // The characters the user's layout has no key for (levels 1 and 2): fake input can
  // press only the keys of that layout.
  std::string UntypableText(std::string_view text) override;
  std::string CannotTypeReason() override;
  bool PressKey(WindowId target, Key key) override;
  void BeginTyping() override;
  void EndTyping() override;
  void Minimise(WindowId window) override;
  void Maximise(WindowId window) override;

  // How long KWin may take to run a script and report.
  static constexpr int kScriptTimeoutMs = 3000;
  // How long a guard runs at most (a typing whose program hangs keeps the other windows
  // from the activation that long); how often it asks whether this connection is still
  // on the bus.
  static constexpr int kGuardLifetimeMs = 10000;
  static constexpr int kGuardPollMs = 100;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace norvax
