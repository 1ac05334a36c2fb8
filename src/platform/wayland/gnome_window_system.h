// Adapter: windows of other programs on GNOME Shell under Wayland. The window list,
// activation and the guard of a typing's focus come from NORVAX's own GNOME Shell extension
// (org.gnome.Shell, /org/norvax/Windows, interface org.norvax.Windows), which NORVAX enables at
// its first use and which answers NORVAX's installed programs only;
// the keys go through Mutter's remote desktop interface (org.gnome.Mutter.RemoteDesktop, a
// private interface of this one version), as keysyms of the user's layout.
#pragma once

#include <memory>

#include "platform/window_system.h"

namespace norvax {

class GnomeWindowSystem : public WindowSystem {
 public:
  // Opens its own connection to the session bus (busAddress; nullptr: the session bus of
  // the environment): the typing session ends with it. The user's layout is read from the
  // compositor's keymap (waylandDisplay; nullptr: $WAYLAND_DISPLAY).
  explicit GnomeWindowSystem(const char* busAddress = nullptr,
                             const char* waylandDisplay = nullptr);
  ~GnomeWindowSystem() override;
  GnomeWindowSystem(const GnomeWindowSystem&) = delete;
  GnomeWindowSystem& operator=(const GnomeWindowSystem&) = delete;

  // True when GNOME Shell answers on the session bus.
  bool Available() const;

  // Why windows cannot be found or typed into here (CP932): the extension is not enabled
  // (after NORVAX has enabled it: a new login may be needed), or Mutter's remote desktop
  // interface is missing or of another version. Empty when both work.
  std::string Problem() override;
  // Without the extension: a stand-in of the window with the keyboard focus.
  WindowId FocusedWindow() override;

  // Windows topmost first; the class is the window's WM class (a Wayland program's app
  // id). Nothing without the extension.
  std::vector<WindowId> TopLevelWindows() override;
  std::string Caption(WindowId window) override;
  std::string ClassName(WindowId window) override;
  std::uint32_t ProcessId(WindowId window) override;
  bool Exists(WindowId window) override;
  WindowId Foreground() override;
  // While the overview shows, the window is activated once it has closed.
  bool SetForeground(WindowId window) override;
  // While the keys go, the extension guards target's focus: a window that takes it gives it
  // back at once inside GNOME Shell, and the typing stops before the next key (nothing is
  // guarded for the stand-in of FocusedWindow). Only the characters of the user's layout
  // can be typed (Mutter drops a keysym it has no key for): UntypableText names the others,
  // and TypeText types nothing of a text that holds one.
  std::size_t TypeText(WindowId target, std::string_view text) override;
  std::string UntypableText(std::string_view text) override;
  bool PressKey(WindowId target, Key key) override;
  void BeginTyping() override;
  void EndTyping() override;
  void Minimise(WindowId window) override;
  void Maximise(WindowId window) override;

  // The version of org.gnome.Mutter.RemoteDesktop this adapter speaks.
  static constexpr int kRemoteDesktopVersion = 1;
  // How long a call on the session bus may take.
  static constexpr int kCallTimeoutMs = 2000;
  // Keys of a remote desktop session that has just started are lost until Mutter has
  // taken up its keyboard: a Shift press and release, then this long, before the first. A
  // session starts with the first key of a typing and ends with it (EndTyping).
  static constexpr int kSessionSettleMs = 100;
  // The extension, in the format of GNOME 43 and 44 and in that of 45 and later.
  static constexpr const char* kLegacyExtension = "norvax-windows-legacy@norvax.org";
  static constexpr const char* kExtension = "norvax-windows@norvax.org";

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace norvax
