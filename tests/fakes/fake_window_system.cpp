#include "fakes/fake_window_system.h"

#include <algorithm>

#include "platform/cp932.h"

namespace norvax::fakes {

WindowId FakeWindowSystem::Add(std::string caption, std::string className, std::uint32_t processId,
                               bool acceptsFocus) {
  WindowId id = next_++;
  windows_[id] = Window{std::move(caption), std::move(className), processId, acceptsFocus, false};
  order_.insert(order_.begin(), id);
  return id;
}

void FakeWindowSystem::Remove(WindowId id) {
  windows_.erase(id);
  std::erase(order_, id);
  if (foreground == id) foreground = 0;
}

std::vector<WindowId> FakeWindowSystem::TopLevelWindows() { return order_; }

std::string FakeWindowSystem::Caption(WindowId window) {
  auto it = windows_.find(window);
  return it == windows_.end() ? "" : it->second.caption;
}

std::string FakeWindowSystem::ClassName(WindowId window) {
  auto it = windows_.find(window);
  return it == windows_.end() ? "" : it->second.className;
}

std::uint32_t FakeWindowSystem::ProcessId(WindowId window) {
  auto it = windows_.find(window);
  return it == windows_.end() ? 0 : it->second.processId;
}

bool FakeWindowSystem::SetForeground(WindowId window) {
  auto it = windows_.find(window);
  if (it == windows_.end()) return false;
  it->second.minimised = false;
  if (it->second.acceptsFocus) foreground = window;
  return true;
}

std::size_t FakeWindowSystem::TypeText(WindowId target, std::string_view text) {
  std::size_t typed = 0;
  for (char c : text) {
    if (foreground != target) break;
    // A lead byte that ends the text is half a character: the real keyboard types a
    // replacement character for it.
    const bool half = typed + 1 == text.size() && IsCp932LeadByte(static_cast<unsigned char>(c));
    received[target] += half ? std::string("<HALF>") : std::string(1, c);
    ++typed;
    if (stealAfterBytes > 0 && --stealAfterBytes == 0) foreground = stealTo;
  }
  return typed;
}

std::string FakeWindowSystem::UntypableText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (untypable.find(c) != std::string::npos && out.find(c) == std::string::npos) out += c;
  }
  return out;
}

bool FakeWindowSystem::PressKey(WindowId target, Key key) {
  if (foreground != target) return false;
  received[target] += key == Key::Enter ? "<ENTER>" : "<TAB>";
  return true;
}

void FakeWindowSystem::Minimise(WindowId window) {
  auto it = windows_.find(window);
  if (it != windows_.end()) it->second.minimised = true;
  if (foreground == window) foreground = 0;
}

}  // namespace norvax::fakes
