#include "launch/keystrokes.h"

#include "platform/clock.h"
#include "platform/cp932.h"

namespace norvax {
namespace {

// Captions are read into a buffer of 255 bytes.
constexpr std::size_t kCaptionLimit = 254;

}  // namespace

WindowId WindowFinder::Find(const std::string& caption, const std::string& className,
                            uint32_t processId, bool& exact) {
  const auto all = windows_.TopLevelWindows();
  exact = false;
  if (!caption.empty() || !className.empty()) {
    for (WindowId w : all) {
      if ((caption.empty() || windows_.Caption(w) == caption) &&
          (className.empty() || windows_.ClassName(w) == className)) {
        exact = true;
        return w;
      }
    }
  }
  for (WindowId w : all) {
    bool match = false;
    if (!caption.empty()) {
      match = windows_.Caption(w).substr(0, kCaptionLimit).find(caption) != std::string::npos;
    } else if (processId != 0) {
      match = windows_.ProcessId(w) == processId;
    }
    if (match) {
      lastCaption_ = windows_.Caption(w).substr(0, kCaptionLimit);
      return w;
    }
  }
  return 0;
}

WindowId WindowFinder::FindTargetWindow(const std::string& caption, const std::string& className,
                                        uint32_t processId) {
  bool exact = false;
  return Find(caption, className, processId, exact);
}

WindowId WindowFinder::ActivateWindow(const std::string& caption, const std::string& className,
                                      uint32_t processId) {
  bool exact = false;
  WindowId w = Find(caption, className, processId, exact);
  if (w == 0) return 0;
  if (exact) lastCaption_ = caption;
  if (!windows_.SetForeground(w)) return 0;
  for (uint32_t waited = 0; windows_.Foreground() != w; waited += kActivatePollMs) {
    if (waited >= kActivateTimeoutMs || !windows_.Exists(w)) return 0;
    clock_.Sleep(kActivatePollMs);
  }
  return w;
}

std::optional<std::size_t> WindowFinder::SendKeysRun(WindowId target, std::string_view text,
                                                     std::size_t position) {
  auto rest = text.substr(position);
  if (rest.starts_with(kEnterMarker) || rest.starts_with(kTabMarker)) {
    if (!windows_.PressKey(target, rest[1] == '~' ? Key::Enter : Key::Tab)) return std::nullopt;
    return position + 2;
  }
  // The run goes on, character by character, up to the next "{" that starts a character:
  // the second byte of a double-byte character can be "{" too (本, ボ, ＋). A "{" that
  // starts no marker belongs to the run, so the typing never stalls on it.
  std::size_t end = 0;
  do {
    end += IsCp932LeadByte(static_cast<unsigned char>(rest[end])) && end + 1 < rest.size() ? 2 : 1;
  } while (end < rest.size() && rest[end] != '{');
  auto run = rest.substr(0, end);
  if (windows_.TypeText(target, run) != run.size()) return std::nullopt;
  return position + run.size();
}

bool WindowFinder::SendKeysText(WindowId target, std::string_view text) {
  struct Typing {
    WindowSystem& windows;
    explicit Typing(WindowSystem& w) : windows(w) { windows.BeginTyping(); }
    ~Typing() { windows.EndTyping(); }
  } typing(windows_);
  std::size_t position = 0;
  while (position < text.size()) {
    auto next = SendKeysRun(target, text, position);
    if (!next) return false;
    position = *next;
  }
  return true;
}

std::pair<std::string, std::string> ComposeSetTexts(const PreferenceList& prefs, int mode,
                                                    const std::string& text) {
  const bool id = mode == 1;
  const std::string marker(id ? kTabMarker : kEnterMarker);
  const bool set1 = prefs.IsOn(id ? TabAfterIdSet1 : EnterAfterPassSet1);
  const bool set2 = prefs.IsOn(id ? TabAfterIdSet2 : EnterAfterPassSet2);
  return {set1 ? text + marker : text, set2 ? text + marker : text};
}

bool AfterTyped(const PreferenceList& prefs, int mode, const std::string& enterPreference) {
  return mode == 2 && enterPreference == "1" && prefs.IsOn(MinimiseAfterEnter);
}

}  // namespace norvax
