#include "platform/wayland/wayland_window_system.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>

#include "platform/cp932.h"
#include "platform/typed_text.h"
#include "platform/wayland/wayland_client.h"
#include "platform/x11/x11_window_system.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace norvax {
namespace {

constexpr std::uint32_t kToplevelManagerVersion = 3;

}  // namespace

struct WaylandWindowSystem::Impl : WaylandClient {
  struct Toplevel {
    Impl* impl = nullptr;
    WindowId id = 0;
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
    // As the compositor's last done event left them; shown once there was one.
    std::string title, appId;
    bool activated = false, minimised = false, shown = false;
    // What came since: the state is the latest the compositor sent.
    std::string pendingTitle, pendingAppId;
    bool pendingActivated = false, pendingMinimised = false;
    std::uint64_t focusOrder = 0;     // 0: never activated
    std::uint64_t deactivations = 0;  // how often the compositor took the activation away
  };

  zwlr_foreign_toplevel_manager_v1* manager = nullptr;
  zwp_virtual_keyboard_manager_v1* keyboardManager = nullptr;
  zwp_virtual_keyboard_v1* keyboard = nullptr;

  std::map<WindowId, std::unique_ptr<Toplevel>> toplevels;
  WindowId nextId = 1;
  std::uint64_t focusCount = 0;
  TypingKeymaps::Keymap uploaded;  // the virtual keyboard's keymap
  std::chrono::steady_clock::time_point lastKey;
  bool typedSinceUpload = false;            // keys went with the uploaded keymap
  std::optional<X11WindowSystem> xwayland;  // $DISPLAY, once a keymap changed mid-typing

  // Listeners of the compositor's events; they run with mutex held.
  static void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
  static const wl_registry_listener kRegistryListener;
  static const zwlr_foreign_toplevel_manager_v1_listener kManagerListener;
  static const zwlr_foreign_toplevel_handle_v1_listener kToplevelListener;
  static Toplevel& Of(void* data) { return *static_cast<Toplevel*>(data); }

  Toplevel* Find(WindowId window) {
    auto found = toplevels.find(window);
    return found != toplevels.end() && found->second->shown ? found->second.get() : nullptr;
  }

  // The focus guard. Wayland has no grab: another program can move the focus between a
  // check and the key after it. So every key goes to the compositor in one message with a
  // request that activates target again (Press): the compositor handles the requests of one
  // client in order, so the key reaches target. A focus change that came between shows at
  // the next check as a deactivation of target; the focus then goes back to the window that
  // took it, and the typing stops.

  // After a round trip, which confirms the keys sent before: how often target has lost the
  // activation, when it has it now (as the compositor's latest state says, done or not).
  std::optional<std::uint64_t> Activated(std::unique_lock<std::mutex>& lock, WindowId target) {
    if (!RoundTrip(lock)) return std::nullopt;
    const Toplevel* t = Find(target);
    if (!t || !t->pendingActivated) return std::nullopt;
    return t->deactivations;
  }

  // True when target has kept the activation since it had lost it `since` times.
  bool Kept(std::unique_lock<std::mutex>& lock, WindowId target, std::uint64_t since) {
    const auto now = Activated(lock, target);
    if (now == since) return true;
    if (now) {
      // A key took the focus back from the window that had just taken it.
      const Toplevel* taker = nullptr;
      for (const auto& [id, t] : toplevels) {
        if (id != target && t->shown && (!taker || t->focusOrder > taker->focusOrder))
          taker = t.get();
      }
      if (taker && taker->focusOrder > 0) {
        zwlr_foreign_toplevel_handle_v1_activate(taker->handle, seat);
        Flush();
      }
    }
    return false;
  }

  // Typing.

  // Gives the virtual keyboard the keymap (unless it has it already). Xwayland turns the
  // keys it has read into X11 events only after it has read on, with the keymap of then,
  // and an X program reads a changed keymap afresh from Xwayland as it comes to the change:
  // the keys typed with the old keymap are given time to get through Xwayland, and the
  // program with the focus there to read them (its answer to a ping), first.
  bool Upload(std::unique_lock<std::mutex>& lock, TypingKeymaps::Keymap keymap) {
    if (keymap.text != uploaded.text) {
      dispatched.wait_until(lock, lastKey + std::chrono::milliseconds(kKeymapPauseMs),
                            [&] { return broken.load(); });
      if (typedSinceUpload) {
        lock.unlock();
        if (!xwayland) xwayland.emplace();
        if (const WindowId focus = xwayland->Foreground()) xwayland->WaitUntilEventsRead(focus);
        lock.lock();
      }
      const int fd = memfd_create("norvax-keymap", MFD_CLOEXEC);
      if (fd < 0) return false;
      const std::size_t size = keymap.text.size() + 1;  // with the terminating NUL
      bool written = true;
      for (std::size_t at = 0; written && at < size;) {
        const ssize_t n = write(fd, keymap.text.c_str() + at, size - at);
        written = n > 0 || (n < 0 && errno == EINTR);
        if (n > 0) at += static_cast<std::size_t>(n);
      }
      if (!written) {
        close(fd);
        return false;
      }
      zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                     static_cast<std::uint32_t>(size));
      close(fd);
      zwp_virtual_keyboard_v1_modifiers(keyboard, 0, 0, 0, 0);
      Flush();
      typedSinceUpload = false;
    }
    uploaded = std::move(keymap);
    return true;
  }

  // Sends a request of the toplevel handle of a window that is still there.
  void Request(WindowId window, void (*request)(zwlr_foreign_toplevel_handle_v1*)) {
    std::lock_guard lock(mutex);
    if (auto* t = Usable() ? Find(window) : nullptr) {
      request(t->handle);
      Flush();
    }
  }

  // Activates target and presses the key in the same message (see the focus guard).
  void Press(WindowId target, TypingKeymaps::Stroke stroke) {
    Toplevel* t = Find(target);
    if (stroke.keycode == 0 || !t) return;
    zwlr_foreign_toplevel_handle_v1_activate(t->handle, seat);
    lastKey = std::chrono::steady_clock::now();
    typedSinceUpload = true;
    const auto time = static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(lastKey.time_since_epoch()).count());
    const std::uint32_t key = stroke.keycode - 8;  // evdev code
    if (stroke.shift)
      zwp_virtual_keyboard_v1_modifiers(keyboard, TypingKeymaps::kShiftMask, 0, 0, 0);
    zwp_virtual_keyboard_v1_key(keyboard, time, key, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(keyboard, time, key, WL_KEYBOARD_KEY_STATE_RELEASED);
    if (stroke.shift) zwp_virtual_keyboard_v1_modifiers(keyboard, 0, 0, 0, 0);
    Flush();
  }

  void Close() {
    StopReader();
    if (!display) return;
    for (auto& [id, t] : toplevels) zwlr_foreign_toplevel_handle_v1_destroy(t->handle);
    toplevels.clear();
    if (keyboard) zwp_virtual_keyboard_v1_destroy(keyboard);
    if (keyboardManager) zwp_virtual_keyboard_manager_v1_destroy(keyboardManager);
    if (manager) zwlr_foreign_toplevel_manager_v1_destroy(manager);
    Disconnect();
  }
};

void WaylandWindowSystem::Impl::OnGlobal(void* data, wl_registry* registry, std::uint32_t name,
                                         const char* interface, std::uint32_t version) {
  auto& i = *static_cast<Impl*>(data);
  const std::string_view what(interface);
  i.OfferSeat(name, interface, version);
  if (what == zwlr_foreign_toplevel_manager_v1_interface.name && !i.manager) {
    i.manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_foreign_toplevel_manager_v1_interface,
                         std::min(version, kToplevelManagerVersion)));
    zwlr_foreign_toplevel_manager_v1_add_listener(i.manager, &kManagerListener, &i);
  } else if (what == zwp_virtual_keyboard_manager_v1_interface.name && !i.keyboardManager) {
    i.keyboardManager = static_cast<zwp_virtual_keyboard_manager_v1*>(
        wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
  }
}

const wl_registry_listener WaylandWindowSystem::Impl::kRegistryListener = {
    .global = OnGlobal,
    .global_remove = [](void*, wl_registry*, std::uint32_t) {},
};

const zwlr_foreign_toplevel_manager_v1_listener WaylandWindowSystem::Impl::kManagerListener = {
    .toplevel =
        [](void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
          auto& i = *static_cast<Impl*>(data);
          auto toplevel = std::make_unique<Toplevel>();
          toplevel->impl = &i;
          toplevel->id = i.nextId++;
          toplevel->handle = handle;
          zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kToplevelListener, toplevel.get());
          i.toplevels[toplevel->id] = std::move(toplevel);
        },
    .finished =
        [](void* data, zwlr_foreign_toplevel_manager_v1* manager) {
          auto& i = *static_cast<Impl*>(data);
          zwlr_foreign_toplevel_manager_v1_destroy(manager);
          i.manager = nullptr;
          i.broken = true;
        },
};

const zwlr_foreign_toplevel_handle_v1_listener WaylandWindowSystem::Impl::kToplevelListener = {
    .title = [](void* data, zwlr_foreign_toplevel_handle_v1*,
                const char* title) { Of(data).pendingTitle = title; },
    .app_id = [](void* data, zwlr_foreign_toplevel_handle_v1*,
                 const char* appId) { Of(data).pendingAppId = appId; },
    .output_enter = [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
    .output_leave = [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
    .state =
        [](void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
          auto& t = Of(data);
          const bool wasActivated = t.pendingActivated;
          t.pendingActivated = t.pendingMinimised = false;
          const auto* state = static_cast<const std::uint32_t*>(states->data);
          for (std::size_t k = 0; k < states->size / sizeof *state; ++k) {
            t.pendingActivated |= state[k] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
            t.pendingMinimised |= state[k] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED;
          }
          if (t.pendingActivated && !wasActivated) t.focusOrder = ++t.impl->focusCount;
          if (wasActivated && !t.pendingActivated) ++t.deactivations;
        },
    .done =
        [](void* data, zwlr_foreign_toplevel_handle_v1*) {
          auto& t = Of(data);
          t.title = t.pendingTitle;
          t.appId = t.pendingAppId;
          t.activated = t.pendingActivated;
          t.minimised = t.pendingMinimised;
          t.shown = true;
        },
    .closed =
        [](void* data, zwlr_foreign_toplevel_handle_v1* handle) {
          auto& t = Of(data);
          zwlr_foreign_toplevel_handle_v1_destroy(handle);
          t.impl->toplevels.erase(t.id);
        },
    .parent = [](void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {},
};

WaylandWindowSystem::WaylandWindowSystem(const char* displayName)
    : impl_(std::make_unique<Impl>()) {
  auto& i = *impl_;
  bool connected = i.Connect(displayName, &Impl::kRegistryListener, &i);
  std::unique_lock lock(i.mutex);
  // The globals; then the seat's capabilities and the toplevels; then the keymap of the
  // seat's keyboard and the toplevels' details.
  connected = connected && i.RoundTrip(lock) && i.seat && i.manager && i.keyboardManager &&
              i.RoundTrip(lock) && i.RoundTrip(lock);
  if (connected) {
    i.keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(i.keyboardManager, i.seat);
    i.ApplyUserLayout();
    connected = i.Upload(lock, i.keymaps.For({})) && i.RoundTrip(lock);
  }
  lock.unlock();
  if (!connected) i.Close();
}

WaylandWindowSystem::~WaylandWindowSystem() { impl_->Close(); }

bool WaylandWindowSystem::Available() const { return impl_->Usable(); }

std::vector<WindowId> WaylandWindowSystem::TopLevelWindows() {
  auto& i = *impl_;
  std::unique_lock lock(i.mutex);
  if (!i.RoundTrip(lock)) return {};
  std::vector<const Impl::Toplevel*> shown;
  for (const auto& [id, t] : i.toplevels) {
    if (t->shown) shown.push_back(t.get());
  }
  std::sort(shown.begin(), shown.end(), [](const Impl::Toplevel* a, const Impl::Toplevel* b) {
    return std::pair(a->focusOrder, a->id) > std::pair(b->focusOrder, b->id);
  });
  std::vector<WindowId> out;
  for (const auto* t : shown) out.push_back(t->id);
  return out;
}

std::string WaylandWindowSystem::Caption(WindowId window) {
  std::lock_guard lock(impl_->mutex);
  const auto* t = impl_->Find(window);
  return t ? Cp932ForDisplay(t->title) : std::string();
}

std::string WaylandWindowSystem::ClassName(WindowId window) {
  std::lock_guard lock(impl_->mutex);
  const auto* t = impl_->Find(window);
  return t ? Cp932ForDisplay(t->appId) : std::string();
}

std::uint32_t WaylandWindowSystem::ProcessId(WindowId) { return 0; }

bool WaylandWindowSystem::Exists(WindowId window) {
  std::lock_guard lock(impl_->mutex);
  return impl_->Find(window) != nullptr;
}

WindowId WaylandWindowSystem::Foreground() {
  auto& i = *impl_;
  std::unique_lock lock(i.mutex);
  if (!i.RoundTrip(lock)) return 0;
  const Impl::Toplevel* active = nullptr;
  for (const auto& [id, t] : i.toplevels) {
    if (t->shown && t->activated && (!active || t->focusOrder > active->focusOrder))
      active = t.get();
  }
  return active ? active->id : 0;
}

bool WaylandWindowSystem::SetForeground(WindowId window) {
  auto& i = *impl_;
  std::lock_guard lock(i.mutex);
  auto* t = i.Usable() ? i.Find(window) : nullptr;
  if (!t) return false;
  if (t->minimised) zwlr_foreign_toplevel_handle_v1_unset_minimized(t->handle);
  zwlr_foreign_toplevel_handle_v1_activate(t->handle, i.seat);
  i.Flush();
  return i.Usable();
}

std::size_t WaylandWindowSystem::TypeText(WindowId target, std::string_view text) {
  auto& i = *impl_;
  std::unique_lock lock(i.mutex);
  const auto since = text.empty() ? std::nullopt : i.Activated(lock, target);
  if (!since) return 0;
  i.ApplyUserLayout();
  const auto characters = TypedCharacters(text);
  std::size_t typed = 0;
  for (std::size_t next = 0; next < characters.size();) {
    if (!i.Upload(lock, i.keymaps.For(std::span(characters).subspan(next)))) break;
    const auto strokes = i.uploaded.strokes;
    if (strokes.empty()) break;
    for (const auto& stroke : strokes) {
      if (!i.Kept(lock, target, *since)) return typed;
      i.Press(target, stroke);
      typed += characters[next++].bytes;
    }
  }
  i.Kept(lock, target, *since);  // the focus back to a window that took it at the last key
  return typed;
}

bool WaylandWindowSystem::PressKey(WindowId target, Key key) {
  auto& i = *impl_;
  std::unique_lock lock(i.mutex);
  const auto since = i.Activated(lock, target);
  if (!since) return false;
  i.Press(target, key == Key::Enter ? i.uploaded.enter : i.uploaded.tab);
  return i.Kept(lock, target, *since);
}

void WaylandWindowSystem::BeginTyping() {
  if (Available()) impl_->BeginDirectInput();
}

void WaylandWindowSystem::EndTyping() { impl_->EndDirectInput(); }

void WaylandWindowSystem::Minimise(WindowId window) {
  impl_->Request(window, zwlr_foreign_toplevel_handle_v1_set_minimized);
}

void WaylandWindowSystem::Maximise(WindowId window) {
  impl_->Request(window, zwlr_foreign_toplevel_handle_v1_set_maximized);
}

}  // namespace norvax
