#include "platform/wayland/wayland_client.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string_view>

namespace norvax {
namespace {

constexpr std::uint32_t kSeatVersion = 5;

// Only the keymap matters: this client has no window, so it never has the focus.
const wl_keyboard_listener kKeyboardListener = {
    .keymap =
        [](void* data, wl_keyboard*, std::uint32_t format, int fd, std::uint32_t size) {
          auto& c = *static_cast<WaylandClient*>(data);
          auto text =
              format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 ? ReadSentKeymap(fd, size) : std::nullopt;
          close(fd);
          if (!text || TypingKeymaps::IsOurs(*text)) return;
          c.userKeymap = std::move(*text);
          c.userKeymapChanged = true;
        },
    .enter = [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},
    .leave = [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},
    .key = [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
    .modifiers = [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                    std::uint32_t) {},
    .repeat_info = [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
};

const wl_seat_listener kSeatListener = {
    .capabilities =
        [](void* data, wl_seat* seat, std::uint32_t capabilities) {
          auto& c = *static_cast<WaylandClient*>(data);
          if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !c.seatKeyboard) {
            c.seatKeyboard = wl_seat_get_keyboard(seat);
            wl_keyboard_add_listener(c.seatKeyboard, &kKeyboardListener, &c);
          }
        },
    .name = [](void*, wl_seat*, const char*) {},
};

}  // namespace

bool WaylandClient::Connect(const char* displayName, const wl_registry_listener* listener,
                            void* data) {
  display = wl_display_connect(displayName);
  if (!display) return false;
  wakeFd = eventfd(0, EFD_CLOEXEC);
  if (wakeFd < 0) return false;
  reader = std::thread([this] { Read(); });
  std::lock_guard lock(mutex);
  registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, listener, data);
  return true;
}

void WaylandClient::OfferSeat(std::uint32_t name, const char* interface, std::uint32_t version) {
  if (std::string_view(interface) != wl_seat_interface.name || seat) return;
  seat = static_cast<wl_seat*>(
      wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, kSeatVersion)));
  wl_seat_add_listener(seat, &kSeatListener, this);
}

void WaylandClient::Read() {
  pollfd fds[2] = {{wl_display_get_fd(display), POLLIN, 0}, {wakeFd, POLLIN, 0}};
  while (!broken) {
    {
      std::lock_guard lock(mutex);
      bool prepared = false;
      while (!broken && !(prepared = wl_display_prepare_read(display) == 0)) {
        if (wl_display_dispatch_pending(display) < 0) broken = true;
      }
      dispatched.notify_all();
      if (!prepared) break;
    }
    fds[0].revents = fds[1].revents = 0;
    const int ready = poll(fds, 2, -1);
    if (ready < 0 || fds[1].revents || !(fds[0].revents & (POLLIN | POLLERR | POLLHUP))) {
      wl_display_cancel_read(display);
      if (fds[1].revents || (ready < 0 && errno != EINTR)) break;
    } else if (wl_display_read_events(display) != 0) {
      broken = true;
    }
  }
  std::lock_guard lock(mutex);
  broken = true;  // no more events: nothing can be confirmed from here on
  dispatched.notify_all();
}

bool WaylandClient::RoundTrip(std::unique_lock<std::mutex>& lock, int timeoutMs) {
  if (!Usable()) return false;
  bool done = false;
  static constexpr wl_callback_listener kDone = {
      .done =
          [](void* data, wl_callback* callback, std::uint32_t) {
            *static_cast<bool*>(data) = true;
            wl_callback_destroy(callback);
          },
  };
  wl_callback* callback = wl_display_sync(display);
  wl_callback_add_listener(callback, &kDone, &done);
  Flush();
  dispatched.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return done || broken; });
  if (!done) wl_callback_destroy(callback);
  return done;
}

void WaylandClient::Flush() {
  if (wl_display_flush(display) < 0 && errno != EAGAIN) broken = true;
}

void WaylandClient::ApplyUserLayout() {
  if (!userKeymapChanged) return;
  keymaps.SetUserLayout(userKeymap);
  userKeymapChanged = false;
}

void WaylandClient::BeginDirectInput() {
  bool japanese = false;
  {
    std::lock_guard lock(mutex);
    ApplyUserLayout();
    japanese = keymaps.UserLayoutIsJapanese();
  }
  // The input method's tools find its daemon through the X display of Xwayland, if any.
  const char* x = std::getenv("DISPLAY");
  directInput.reset();
  directInput.emplace(x ? x : "", japanese ? "xkb:jp::jpn" : "xkb:us::eng");
}

void WaylandClient::StopReader() {
  if (reader.joinable()) {
    const std::uint64_t one = 1;
    if (write(wakeFd, &one, sizeof one) < 0) broken = true;
    reader.join();
  }
  if (wakeFd >= 0) close(wakeFd);
  wakeFd = -1;
}

void WaylandClient::Disconnect() {
  if (!display) return;
  if (seatKeyboard) wl_keyboard_destroy(seatKeyboard);
  if (seat) wl_seat_destroy(seat);
  if (registry) wl_registry_destroy(registry);
  wl_display_flush(display);
  wl_display_disconnect(display);
  display = nullptr;
}

}  // namespace norvax
