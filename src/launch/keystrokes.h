// Typing into other programs' windows and finding those windows.
//
// Typed text is CP932 with two markers: "{~" stands for the ENTER key and "{]" for the TAB
// key, each only where its "{" starts a character; everything else is plain text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/preferences.h"
#include "platform/window_system.h"

namespace norvax {

class Clock;

inline constexpr std::string_view kEnterMarker = "{~";
inline constexpr std::string_view kTabMarker = "{]";

// How long ActivateWindow waits for a window to really receive the focus.
inline constexpr uint32_t kActivateTimeoutMs = 3000;
inline constexpr uint32_t kActivatePollMs = 10;

// Finds a top-level window: with a caption or class, first the window whose caption and
// class both equal the given ones (whichever are given); otherwise, or when none does, the
// first window whose caption contains the caption (byte-wise, case-sensitive; captions are
// read up to 254 bytes) or, without a caption, whose process is processId. lastCaption
// becomes the caption searched for on an exact hit, the window's caption on a hit by
// enumeration, and stays unchanged when nothing is found.
class WindowFinder {
 public:
  // lastCaption is the program's LastTargetCaption, kept up to date by every search.
  WindowFinder(WindowSystem& windows, Clock& clock, std::string& lastCaption)
      : windows_(windows), clock_(clock), lastCaption_(lastCaption) {}

  WindowId FindTargetWindow(const std::string& caption, const std::string& className,
                            uint32_t processId);

  // Finds the window and brings it to the foreground; the window found, or 0 when none was
  // found or it did not receive the focus within kActivateTimeoutMs (or vanished).
  WindowId ActivateWindow(const std::string& caption, const std::string& className,
                          uint32_t processId);

  // One step of SendKeysText: from position, an ENTER or TAB marker or a run of whole
  // characters up to the next character "{" (a "{" that starts no marker is typed as it
  // is; the second byte of a double-byte character is never a marker). Returns the
  // position after what was consumed, or nothing when target lost the focus.
  std::optional<std::size_t> SendKeysRun(WindowId target, std::string_view text,
                                         std::size_t position);

  // Types the whole text into target, run after run. Stops as soon as target loses the
  // focus, so that nothing reaches another window; false then.
  bool SendKeysText(WindowId target, std::string_view text);

  // Caption of the window the finders last matched.
  const std::string& LastTargetCaption() const { return lastCaption_; }

 private:
  WindowId Find(const std::string& caption, const std::string& className, uint32_t processId,
                bool& exact);

  WindowSystem& windows_;
  Clock& clock_;
  std::string& lastCaption_;
};

// The texts typed into a Set1 and a Set2 target for an ID (mode 1) or password (mode 2)
// click: TAB after an ID and ENTER after a password where the preferences ask for it.
std::pair<std::string, std::string> ComposeSetTexts(const PreferenceList& prefs, int mode,
                                                    const std::string& text);

// True when the program is to minimise itself after typing: a password (mode 2) followed by
// ENTER (enterPreference is the value of the target's ENTER preference) with preference 26
// on.
bool AfterTyped(const PreferenceList& prefs, int mode, const std::string& enterPreference);

}  // namespace norvax
