// Which adapter reaches the windows of other programs: Wayland when WAYLAND_DISPLAY names a
// compositor that offers both protocols the Wayland adapter needs (the wlroots compositors),
// GNOME when GNOME Shell answers on the session bus of a Wayland session; KWin when KWin
// answers there and on the session bus (needs a QCoreApplication); else X11 (also in a Wayland
// session whose compositor lacks them: then only the programs that run through Xwayland are
// reached).
#pragma once

#include <memory>

#include "platform/window_system.h"

namespace norvax {

enum class WindowSystemKind { Wayland, Gnome, KWin, X11 };

struct DesktopWindows {
  WindowSystemKind kind;
  std::unique_ptr<WindowSystem> system;
  bool available;  // false: no display to reach (X11 without an X display)
};

DesktopWindows OpenWindowSystem();

// "Wayland", "GNOME", "KWin" or "X11".
const char* WindowSystemName(WindowSystemKind kind);

}  // namespace norvax
