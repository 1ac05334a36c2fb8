#include "platform/wayland/desktop_windows.h"

#include <cstdlib>

#include "platform/wayland/gnome_window_system.h"
#include "platform/wayland/kwin_window_system.h"
#include "platform/wayland/wayland_window_system.h"
#include "platform/x11/x11_window_system.h"

namespace norvax {

DesktopWindows OpenWindowSystem() {
  if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland) {
    auto windows = std::make_unique<WaylandWindowSystem>();
    if (windows->Available()) return {WindowSystemKind::Wayland, std::move(windows), true};
    auto gnome = std::make_unique<GnomeWindowSystem>();
    if (gnome->Available()) return {WindowSystemKind::Gnome, std::move(gnome), true};
    auto kwin = std::make_unique<KWinWindowSystem>();
    if (kwin->Available()) return {WindowSystemKind::KWin, std::move(kwin), true};
  }
  auto windows = std::make_unique<X11WindowSystem>();
  const bool available = windows->Available();
  return {WindowSystemKind::X11, std::move(windows), available};
}

const char* WindowSystemName(WindowSystemKind kind) {
  switch (kind) {
    case WindowSystemKind::Wayland:
      return "Wayland";
    case WindowSystemKind::Gnome:
      return "GNOME";
    case WindowSystemKind::KWin:
      return "KWin";
    case WindowSystemKind::X11:
      break;
  }
  return "X11";
}

}  // namespace norvax
