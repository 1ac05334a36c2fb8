// What every Wayland adapter of the window-system port has: its own connection to the
// compositor, read all the time by a thread of its own, with bounded round trips; the
// seat's keyboard, whose keymap is the user's layout; and the input-method switch of a
// typing.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/wayland/typing_keymap.h"
#include "platform/x11/direct_input.h"

struct wl_display;
struct wl_registry;
struct wl_registry_listener;
struct wl_seat;
struct wl_keyboard;

namespace norvax {

struct WaylandClient {
  // How long a round trip to the compositor may take before it counts as failed.
  static constexpr int kRoundTripTimeoutMs = 2000;
  // The same for the round trips of a new connection: before it announces its globals to a
  // new client, KWin looks up the client's grants in the desktop's application database,
  // which it may have to build first.
  static constexpr int kConnectTimeoutMs = 15000;

  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_seat* seat = nullptr;
  wl_keyboard* seatKeyboard = nullptr;

  // The reader thread reads the connection all the time (a compositor drops a client that
  // leaves its events unread for long) and dispatches the events with mutex held; the
  // state of the adapter, and every request, is used only under it.
  std::thread reader;
  int wakeFd = -1;
  std::mutex mutex;
  std::condition_variable dispatched;
  std::atomic<bool> broken{false};

  // The keymap the seat's keyboard last had that is not ours: the user's layout.
  std::string userKeymap;
  bool userKeymapChanged = true;
  TypingKeymaps keymaps;

  std::optional<DirectInput> directInput;  // main thread only

  bool Usable() const { return display && !broken; }

  // Connects (nullptr: $WAYLAND_DISPLAY), starts the reader and asks for the globals, which
  // come to listener with data. False when there is no compositor to reach.
  bool Connect(const char* displayName, const wl_registry_listener* listener, void* data);
  // Binds the seat when the global is the seat (call from the registry listener).
  void OfferSeat(std::uint32_t name, const char* interface, std::uint32_t version);

  void Read();
  // Asks the compositor for a round trip and waits (bounded) until the events it sent
  // before the answer are dispatched.
  bool RoundTrip(std::unique_lock<std::mutex>& lock, int timeoutMs = kRoundTripTimeoutMs);
  void Flush();

  // Takes the user's layout from the seat's keyboard when it changed.
  void ApplyUserLayout();

  // The input method passes the keys through until EndDirectInput (main thread).
  void BeginDirectInput();
  void EndDirectInput() { directInput.reset(); }

  // Ends the reader; then the adapter destroys its objects and calls Disconnect.
  void StopReader();
  void Disconnect();
};

}  // namespace norvax
