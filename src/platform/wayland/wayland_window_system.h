// Adapter: windows of other programs on a Wayland compositor built on wlroots (sway,
// Hyprland, river, labwc, Wayfire), through libwayland-client: the window list, activation,
// minimising and maximising through zwlr_foreign_toplevel_manager_v1, typing through a
// virtual keyboard of zwp_virtual_keyboard_manager_v1.
#pragma once

#include <memory>

#include "platform/window_system.h"

namespace norvax {

class WaylandWindowSystem : public WindowSystem {
 public:
  // Opens its own connection to the compositor (nullptr: $WAYLAND_DISPLAY) and creates the
  // virtual keyboard it types with for as long as it lives: a keyboard that comes just
  // before the typing loses the first keys while the target takes it up. Without a
  // compositor that offers both protocols no window is found and nothing is typed.
  explicit WaylandWindowSystem(const char* displayName = nullptr);
  ~WaylandWindowSystem() override;
  WaylandWindowSystem(const WaylandWindowSystem&) = delete;
  WaylandWindowSystem& operator=(const WaylandWindowSystem&) = delete;

  bool Available() const;

  // Windows in the order they last had the focus, the one that has it first; windows that
  // never had it after them, the newest first. A window's class is its app id (an Xwayland
  // program's X11 class).
  std::vector<WindowId> TopLevelWindows() override;
  std::string Caption(WindowId window) override;
  std::string ClassName(WindowId window) override;
  // The protocol does not tell which process owns a window: always 0.
  std::uint32_t ProcessId(WindowId window) override;
  bool Exists(WindowId window) override;
  // The window in the activated state, as the compositor has it after a round trip.
  WindowId Foreground() override;
  bool SetForeground(WindowId window) override;
  // Before every key a round trip confirms the keys before it and that target is still
  // activated; the key itself comes with a request that activates target, so that a focus
  // change between the check and the key cannot take it elsewhere. A window that took the
  // focus so is given it back, and the typing stops.
  std::size_t TypeText(WindowId target, std::string_view text) override;
  bool PressKey(WindowId target, Key key) override;
  void BeginTyping() override;
  void EndTyping() override;
  void Minimise(WindowId window) override;
  void Maximise(WindowId window) override;

  // Time given to the keys typed before the keymap changes.
  static constexpr int kKeymapPauseMs = 30;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace norvax
