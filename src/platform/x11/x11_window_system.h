// Adapter: windows of other programs on an X11 display, through Xlib, XTest and the
// EWMH properties of the window manager when one runs.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/window_system.h"

namespace norvax {

class X11WindowSystem : public WindowSystem {
 public:
  // Opens its own connection to the display (nullptr: $DISPLAY). Without a display that
  // has the XTest extension no window is found and nothing is typed.
  explicit X11WindowSystem(const char* displayName = nullptr);
  ~X11WindowSystem() override;
  X11WindowSystem(const X11WindowSystem&) = delete;
  X11WindowSystem& operator=(const X11WindowSystem&) = delete;

  std::vector<WindowId> TopLevelWindows() override;
  std::string Caption(WindowId window) override;
  std::string ClassName(WindowId window) override;
  std::uint32_t ProcessId(WindowId window) override;
  bool Exists(WindowId window) override;
  WindowId Foreground() override;
  bool SetForeground(WindowId window) override;
  std::size_t TypeText(WindowId target, std::string_view text) override;
  bool PressKey(WindowId target, Key key) override;
  // Switches ibus to a plain keyboard engine, or deactivates fcitx5, while they are in an
  // input mode, and switches them back (see DirectInput).
  void BeginTyping() override;
  void EndTyping() override;
  void Minimise(WindowId window) override;
  void Maximise(WindowId window) override;

  bool Available() const;

  // The caption as UTF-8, for the program's own use.
  std::string CaptionUtf8(WindowId window);

  // Waits until the program of window has read every event sent to it so far (its answer
  // to the window manager's ping); false when it takes no part in the ping or does not
  // answer within kEventsReadTimeoutMs.
  bool WaitUntilEventsRead(WindowId window);

  // Pause given to the server and the receiving program after the keyboard mapping
  // changed, before typing through a remapped key, and after it when the program does not
  // tell that it has read the keys (see kEventsReadTimeoutMs).
  static constexpr int kRemapPauseMs = 30;
  // How long the program typed into is given to say that it has read the keys typed
  // through remapped keys, before their mapping is given back.
  static constexpr int kEventsReadTimeoutMs = 3000;
  // While an input method runs, each key is sent once the program has read the one before
  // and this long after, for the input method's answer to that key to come back first.
  static constexpr int kInputMethodKeyPauseMs = 10;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace norvax
