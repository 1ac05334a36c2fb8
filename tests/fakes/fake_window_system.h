// A desktop of windows described by the test; records what is typed where.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace norvax::fakes {

class FakeWindowSystem : public WindowSystem {
 public:
  struct Window {
    std::string caption;
    std::string className;
    std::uint32_t processId = 0;
    bool acceptsFocus = true;  // false: SetForeground succeeds but the focus never comes
    bool minimised = false;
  };

  // Adds a window on top of the others; returns its id.
  WindowId Add(std::string caption, std::string className = "", std::uint32_t processId = 0,
               bool acceptsFocus = true);
  void Remove(WindowId id);

  std::vector<WindowId> TopLevelWindows() override;
  std::string Caption(WindowId window) override;
  std::string ClassName(WindowId window) override;
  std::uint32_t ProcessId(WindowId window) override;
  bool Exists(WindowId window) override { return windows_.count(window) > 0; }
  WindowId Foreground() override { return foreground; }
  bool SetForeground(WindowId window) override;
  std::size_t TypeText(WindowId target, std::string_view text) override;
  bool PressKey(WindowId target, Key key) override;
  std::string UntypableText(std::string_view text) override;
  std::string Problem() override { return problem; }
  WindowId FocusedWindow() override { return focusedWindow; }
  std::string CannotTypeReason() override { return cannotType; }
  void Minimise(WindowId window) override;
  void Maximise(WindowId window) override { maximised.push_back(window); }
  bool Minimised(WindowId window) const {
    auto it = windows_.find(window);
    return it != windows_.end() && it->second.minimised;
  }

  // What each window received: plain text as it is, keys as "<ENTER>" and "<TAB>", the lead
  // byte of a double-byte character typed without its second byte as "<HALF>".
  std::map<WindowId, std::string> received;
  WindowId foreground = 0;
  // After this many more bytes are typed, the focus moves to stealTo (-1: never).
  long stealAfterBytes = -1;
  // Bytes this desktop cannot type (UntypableText).
  std::string untypable;
  // Why windows cannot be reached (Problem).
  std::string problem;
  // The stand-in of the focused window (FocusedWindow); typed into when it is foreground.
  WindowId focusedWindow = 0;
  // The desktop's reason not to type at all (CannotTypeReason).
  std::string cannotType;
  WindowId stealTo = 0;
  std::vector<WindowId> maximised;

 private:
  std::map<WindowId, Window> windows_;
  std::vector<WindowId> order_;  // topmost first
  WindowId next_ = 100;
};

}  // namespace norvax::fakes
