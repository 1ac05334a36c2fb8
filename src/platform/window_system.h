// Port: other programs' top-level windows, the keyboard focus and typing.
// Captions and class names are CP932; typed text is CP932.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace norvax {

// A top-level window of any program; 0 is no window.
using WindowId = std::uint64_t;

enum class Key { Enter, Tab };

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // Top-level windows of every program, topmost first.
  virtual std::vector<WindowId> TopLevelWindows() = 0;

  // The window's caption ("" when it has none or is gone). Characters without a CP932
  // form read as "?".
  virtual std::string Caption(WindowId window) = 0;

  // The window's class name ("" when it has none or is gone).
  virtual std::string ClassName(WindowId window) = 0;

  // Id of the process that owns the window; 0 when unknown.
  virtual std::uint32_t ProcessId(WindowId window) = 0;

  virtual bool Exists(WindowId window) = 0;

  // The top-level window that holds the keyboard focus; 0 when none does.
  virtual WindowId Foreground() = 0;

  // Asks for the window to be raised and given the keyboard focus. False when the request
  // could not be made; it may take effect a little later (see Foreground).
  virtual bool SetForeground(WindowId window) = 0;

  // Types plain text into the focus of target, one character after another, and stops as
  // soon as target no longer holds the focus. Modifier keys held down (or pressed while it
  // types), Caps Lock and the active keyboard layout do not change what arrives, and are as
  // they were afterwards. Returns the number of bytes of text that were typed.
  virtual std::size_t TypeText(WindowId target, std::string_view text) = 0;

  // The characters of text (CP932) that this window system cannot type at all, each once,
  // in the order they come; empty when it can type every one. Asked before anything is
  // typed, so that a text is never typed in part (a desktop whose keyboard can only press
  // the keys of the user's layout cannot type kanji, say).
  virtual std::string UntypableText(std::string_view text) {
    (void)text;
    return {};
  }

  // Why the windows of this desktop cannot be found or typed into, when that is so (CP932,
  // one or two sentences; a desktop extension that is missing, say): told when a search
  // finds nothing or a typing fails. Empty when nothing is known to be missing.
  virtual std::string Problem() { return {}; }

  // A desktop whose windows cannot be found (see Problem) may still type into whatever window
  // has the keyboard focus: the id that stands for that window, which TypeText and PressKey
  // type into with no check of the focus; 0 when there is no such way.
  virtual WindowId FocusedWindow() { return 0; }

  // Why this window system cannot type at all here (CP932, a whole message: the desktop
  // refuses this program its keyboard, say); empty when it can type.
  virtual std::string CannotTypeReason() { return {}; }

  // Presses and releases a key in target; false (nothing sent) when target has lost the
  // focus.
  virtual bool PressKey(WindowId target, Key key) = 0;

  // Bracket a whole typing (its text, TAB and ENTER keys): between them the keys reach the
  // target as typed even when the desktop's input method is in Japanese input mode, which
  // EndTyping gives back.
  virtual void BeginTyping() {}
  virtual void EndTyping() {}

  // Minimises (iconifies) another program's window.
  virtual void Minimise(WindowId window) = 0;

  // Asks the window manager to maximise another program's window.
  virtual void Maximise(WindowId window) = 0;
};

}  // namespace norvax
