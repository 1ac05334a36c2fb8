#include "platform/wayland/gnome_window_system.h"

#include <gio/gio.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "platform/cp932.h"
#include "platform/typed_text.h"
#include "platform/wayland/wayland_client.h"

namespace norvax {
namespace {

constexpr const char* kShell = "org.gnome.Shell";
constexpr const char* kWindowsPath = "/org/norvax/Windows";
constexpr const char* kWindowsInterface = "org.norvax.Windows";
constexpr const char* kRemoteDesktop = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kRemoteDesktopPath = "/org/gnome/Mutter/RemoteDesktop";
constexpr const char* kSessionInterface = "org.gnome.Mutter.RemoteDesktop.Session";
// The stand-in of the window with the keyboard focus; no window of the extension's has it.
constexpr WindowId kFocusedWindow = ~WindowId{0};

struct VariantDeleter {
  void operator()(GVariant* v) const { g_variant_unref(v); }
};
using Variant = std::unique_ptr<GVariant, VariantDeleter>;

}  // namespace

struct GnomeWindowSystem::Impl {
  struct Window {
    std::string title, wmClass;
    std::uint32_t pid = 0;
    bool focus = false;
  };

  // The launch's worker thread and the main thread both use the adapter: every member
  // function holds this lock (TypeText asks UntypableText).
  std::recursive_mutex mutex;
  GDBusConnection* bus = nullptr;
  std::string waylandDisplay;
  // The windows of the last list, topmost first.
  std::vector<WindowId> order;
  std::map<WindowId, Window> windows;
  bool enableTried = false;
  bool enabled = false;  // the shell took the request to enable the extension
  // Why no window can be listed, while that is so; why nothing can be typed.
  std::string listProblem, typingProblem;

  std::string session;  // the remote desktop session's path, once started
  // The user's layout, read once from the compositor (its connection goes then), and the
  // input method's switch of a typing.
  WaylandClient wayland;
  bool keymapRead = false;

  // The D-Bus name of the error of the last call that failed.
  std::string lastError;

  Variant Call(const char* destination, const char* path, const char* interface, const char* method,
               GVariant* arguments, const char* replyType) {
    if (!bus) {
      if (arguments) g_variant_unref(g_variant_ref_sink(arguments));
      return nullptr;
    }
    lastError.clear();
    GError* error = nullptr;
    Variant reply(g_dbus_connection_call_sync(bus, destination, path, interface, method, arguments,
                                              replyType ? G_VARIANT_TYPE(replyType) : nullptr,
                                              G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs,
                                              nullptr, &error));
    if (error) {
      gchar* name = g_dbus_error_get_remote_error(error);
      lastError = name ? name : "";
      g_free(name);
      g_error_free(error);
    }
    return reply;
  }

  // A call of the extension's answering whether (b).
  bool Ask(const char* method, GVariant* arguments) {
    Variant reply = Call(kShell, kWindowsPath, kWindowsInterface, method, arguments, "(b)");
    gboolean yes = false;
    if (reply) g_variant_get(reply.get(), "(b)", &yes);
    return yes;
  }

  Variant Property(const char* destination, const char* path, const char* interface,
                   const char* name) {
    Variant reply = Call(destination, path, "org.freedesktop.DBus.Properties", "Get",
                         g_variant_new("(ss)", interface, name), "(v)");
    if (!reply) return nullptr;
    GVariant* value = nullptr;
    g_variant_get(reply.get(), "(v)", &value);
    return Variant(value);
  }

  // The extension's list, or nothing when the extension does not answer.
  bool List() {
    Variant reply = Call(kShell, kWindowsPath, kWindowsInterface, "List", nullptr, "(a(tssub))");
    if (!reply) return false;
    order.clear();
    windows.clear();
    GVariantIter* iter = nullptr;
    g_variant_get(reply.get(), "(a(tssub))", &iter);
    guint64 id = 0;
    const char *title = nullptr, *wmClass = nullptr;
    guint32 pid = 0;
    gboolean focus = false;
    while (g_variant_iter_next(iter, "(t&s&sub)", &id, &title, &wmClass, &pid, &focus)) {
      order.push_back(id);
      windows[id] = {title, wmClass, pid, focus != 0};
    }
    g_variant_iter_free(iter);
    return true;
  }

  // The extension of this GNOME Shell's format.
  const char* ExtensionUuid() {
    Variant version = Property(kShell, "/org/gnome/Shell", kShell, "ShellVersion");
    const char* text = version && g_variant_is_of_type(version.get(), G_VARIANT_TYPE_STRING)
                           ? g_variant_get_string(version.get(), nullptr)
                           : "";
    return std::atoi(text) >= 45 ? kExtension : kLegacyExtension;
  }

  // Lists; at the first use without an answer, enables the extension and lists again.
  bool ListWithExtension() {
    listProblem.clear();
    if (List()) return true;
    const bool refused = lastError == "org.freedesktop.DBus.Error.AccessDenied";
    const char* uuid = ExtensionUuid();
    if (refused) {
      std::error_code error;
      const auto program = std::filesystem::read_symlink("/proc/self/exe", error).string();
      listProblem = Sjis("GNOME Shell 拡張機能 ") + uuid + Sjis(" がこのﾌﾟﾛｸﾞﾗﾑ (") +
                    Cp932ForDisplay(program) +
                    Sjis(
                        ") に答えないため、ｳｲﾝﾄﾞｳを探せません。"
                        "ｲﾝｽﾄｰﾙされた norvax と norvaxctl にだけ答えます。");
      return false;
    }
    if (!enableTried) {
      enableTried = true;
      Variant reply = Call(kShell, "/org/gnome/Shell", "org.gnome.Shell.Extensions",
                           "EnableExtension", g_variant_new("(s)", uuid), "(b)");
      gboolean done = false;
      if (reply) g_variant_get(reply.get(), "(b)", &done);
      if (List()) return true;
      enabled = done;
    }
    listProblem = Sjis("GNOME Shell 拡張機能 ") + uuid +
                  Sjis(" が動いていないため、ｳｲﾝﾄﾞｳを探せません。") +
                  (enabled ? Sjis("NORVAXが有効にしましたが、") : std::string()) +
                  Sjis("ｲﾝｽﾄｰﾙ直後は、ﾛｸﾞｱｳﾄして再ﾛｸﾞｲﾝするまで使えないことがあります。");
    return false;
  }

  const Window* Find(WindowId window) {
    auto found = windows.find(window);
    return found == windows.end() ? nullptr : &found->second;
  }

  // The press goes without waiting for its answer, so that the release follows it at once:
  // a release that came only after a round trip through a busy desktop would have the
  // program repeat the key. Mutter handles the two in order, and the release's answer
  // stands for both.
  bool Stroke(std::uint32_t keysym) {
    if (!bus) return false;
    GDBusMessage* press = g_dbus_message_new_method_call(kRemoteDesktop, session.c_str(),
                                                         kSessionInterface, "NotifyKeyboardKeysym");
    g_dbus_message_set_body(press, g_variant_new("(ub)", keysym, TRUE));
    g_dbus_message_set_flags(press,
                             static_cast<GDBusMessageFlags>(G_DBUS_MESSAGE_FLAGS_NO_REPLY_EXPECTED |
                                                            G_DBUS_MESSAGE_FLAGS_NO_AUTO_START));
    const bool sent = g_dbus_connection_send_message(bus, press, G_DBUS_SEND_MESSAGE_FLAGS_NONE,
                                                     nullptr, nullptr);
    g_object_unref(press);
    return sent && Call(kRemoteDesktop, session.c_str(), kSessionInterface, "NotifyKeyboardKeysym",
                        g_variant_new("(ub)", keysym, FALSE), nullptr) != nullptr;
  }

  // Starts the remote desktop session the keys go through, once Mutter's interface is
  // the version this adapter speaks.
  bool StartSession() {
    if (!session.empty()) return true;
    Variant version = Property(kRemoteDesktop, kRemoteDesktopPath, kRemoteDesktop, "Version");
    if (!version || !g_variant_is_of_type(version.get(), G_VARIANT_TYPE_INT32)) {
      typingProblem = Sjis(
          "GNOME のﾘﾓｰﾄﾃﾞｽｸﾄｯﾌﾟ機能 (org.gnome.Mutter.RemoteDesktop) "
          "が応答しないため、入力できません。");
      return false;
    }
    if (const int found = g_variant_get_int32(version.get()); found != kRemoteDesktopVersion) {
      typingProblem = Sjis(
                          "GNOME のﾘﾓｰﾄﾃﾞｽｸﾄｯﾌﾟ機能 (org.gnome.Mutter.RemoteDesktop) "
                          "がﾊﾞｰｼﾞｮﾝ ") +
                      std::to_string(found) + Sjis(" で、NORVAXが対応するﾊﾞｰｼﾞｮﾝ ") +
                      std::to_string(kRemoteDesktopVersion) +
                      Sjis(" ではないため、入力できません。");
      return false;
    }
    Variant created =
        Call(kRemoteDesktop, kRemoteDesktopPath, kRemoteDesktop, "CreateSession", nullptr, "(o)");
    const char* path = nullptr;
    if (created) g_variant_get(created.get(), "(&o)", &path);
    if (!path || !Call(kRemoteDesktop, path, kSessionInterface, "Start", nullptr, nullptr)) {
      typingProblem = Sjis(
          "GNOME のﾘﾓｰﾄﾃﾞｽｸﾄｯﾌﾟ機能 (org.gnome.Mutter.RemoteDesktop) "
          "が入力を受け付けないため、入力できません。");
      return false;
    }
    session = path;
    const bool warmed = Stroke(XKB_KEY_Shift_L);
    std::this_thread::sleep_for(std::chrono::milliseconds(kSessionSettleMs));
    return warmed;
  }

  void StopSession() {
    if (session.empty()) return;
    Call(kRemoteDesktop, session.c_str(), kSessionInterface, "Stop", nullptr, nullptr);
    session.clear();
  }

  // Reads the keymap of the compositor's seat keyboard over a connection of its own, which
  // goes then.
  void ReadSeatKeymap() {
    static constexpr wl_registry_listener kRegistry = {
        .global =
            [](void* data, wl_registry*, std::uint32_t name, const char* interface,
               std::uint32_t version) {
              static_cast<WaylandClient*>(data)->OfferSeat(name, interface, version);
            },
        .global_remove = [](void*, wl_registry*, std::uint32_t) {},
    };
    if (wayland.Connect(waylandDisplay.empty() ? nullptr : waylandDisplay.c_str(), &kRegistry,
                        &wayland)) {
      // The globals; the seat's capabilities; the keyboard's keymap: a round trip each.
      std::unique_lock lock(wayland.mutex);
      for (int trip = 0; trip < 3 && wayland.RoundTrip(lock); ++trip) {
      }
    }
    wayland.StopReader();
    wayland.Disconnect();
  }

  TypingKeymaps& Keymaps() {
    if (!keymapRead) {
      keymapRead = true;
      // The seat has a keyboard (and so a keymap) once a session's keyboard is there.
      const bool running = !session.empty();
      StartSession();
      ReadSeatKeymap();
      if (!running) StopSession();
    }
    std::lock_guard lock(wayland.mutex);
    wayland.ApplyUserLayout();
    return wayland.keymaps;
  }

  // Runs keys (which sends the keys and says whether it went on to the end) while the
  // extension guards target's focus: a window that takes the focus meanwhile gives it back at
  // once inside GNOME Shell, and keys keeps asking the guard (Holds) before each key. The
  // guard ends once every key sent has reached target (see windows-service.js). False when
  // target did not have the focus. Nothing is guarded for the stand-in of FocusedWindow.
  template <class Keys>
  bool Guarded(WindowId target, Keys keys) {
    if (!StartSession()) return false;
    if (target == kFocusedWindow) return keys();
    if (!Ask("Guard", g_variant_new("(t)", static_cast<guint64>(target)))) {
      if (lastError == "org.freedesktop.DBus.Error.UnknownMethod") {
        typingProblem = Sjis("GNOME Shell 拡張機能 ") + ExtensionUuid() +
                        Sjis(" が古いため、入力できません。ﾛｸﾞｱｳﾄして再ﾛｸﾞｲﾝしてください。");
      }
      return false;
    }
    const bool done = keys();
    Ask("Release", nullptr);
    return done;
  }

  bool Holds(WindowId target) { return target == kFocusedWindow || Ask("Holds", nullptr); }

  // Types the characters: the number of bytes typed (a control character, which is not
  // typed, counts).
  std::size_t Type(WindowId target, std::string_view text) {
    std::size_t typed = 0;
    Guarded(target, [&] {
      for (const TypedCharacter& c : TypedCharacters(text)) {
        if (c.keysym != 0 && !(Holds(target) && Stroke(c.keysym))) return false;
        typed += c.bytes;
      }
      return true;
    });
    return typed;
  }

  bool Press(WindowId target, std::uint32_t keysym) {
    return Guarded(target, [&] { return Stroke(keysym); });
  }
};

GnomeWindowSystem::GnomeWindowSystem(const char* busAddress, const char* waylandDisplay)
    : impl_(std::make_unique<Impl>()) {
  auto& i = *impl_;
  if (waylandDisplay) i.waylandDisplay = waylandDisplay;
  gchar* address = busAddress
                       ? g_strdup(busAddress)
                       : g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (!address) return;
  i.bus = g_dbus_connection_new_for_address_sync(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  g_free(address);
  if (i.bus) g_dbus_connection_set_exit_on_close(i.bus, false);
}

GnomeWindowSystem::~GnomeWindowSystem() {
  auto& i = *impl_;
  if (!i.bus) return;
  i.StopSession();
  g_dbus_connection_close_sync(i.bus, nullptr, nullptr);
  g_object_unref(i.bus);
}

bool GnomeWindowSystem::Available() const {
  return impl_->Property(kShell, "/org/gnome/Shell", kShell, "ShellVersion") != nullptr;
}

std::string GnomeWindowSystem::Problem() {
  std::lock_guard lock(impl_->mutex);
  return impl_->typingProblem.empty() ? impl_->listProblem : impl_->typingProblem;
}

WindowId GnomeWindowSystem::FocusedWindow() {
  std::lock_guard lock(impl_->mutex);
  return impl_->ListWithExtension() ? 0 : kFocusedWindow;
}

std::vector<WindowId> GnomeWindowSystem::TopLevelWindows() {
  std::lock_guard lock(impl_->mutex);
  if (!impl_->ListWithExtension()) return {};
  return impl_->order;
}

std::string GnomeWindowSystem::Caption(WindowId window) {
  std::lock_guard lock(impl_->mutex);
  const auto* w = impl_->Find(window);
  return w ? Cp932ForDisplay(w->title) : std::string();
}

std::string GnomeWindowSystem::ClassName(WindowId window) {
  std::lock_guard lock(impl_->mutex);
  const auto* w = impl_->Find(window);
  return w ? Cp932ForDisplay(w->wmClass) : std::string();
}

std::uint32_t GnomeWindowSystem::ProcessId(WindowId window) {
  std::lock_guard lock(impl_->mutex);
  const auto* w = impl_->Find(window);
  return w ? w->pid : 0;
}

bool GnomeWindowSystem::Exists(WindowId window) {
  std::lock_guard lock(impl_->mutex);
  return impl_->List() && impl_->Find(window) != nullptr;
}

WindowId GnomeWindowSystem::Foreground() {
  std::lock_guard lock(impl_->mutex);
  auto& i = *impl_;
  if (!i.List()) return 0;
  for (WindowId w : i.order) {
    if (i.windows[w].focus) return w;
  }
  return 0;
}

bool GnomeWindowSystem::SetForeground(WindowId window) {
  std::lock_guard lock(impl_->mutex);
  Variant reply = impl_->Call(kShell, kWindowsPath, kWindowsInterface, "Activate",
                              g_variant_new("(t)", static_cast<guint64>(window)), "(b)");
  gboolean found = false;
  if (reply) g_variant_get(reply.get(), "(b)", &found);
  return found;
}

std::string GnomeWindowSystem::UntypableText(std::string_view text) {
  std::lock_guard lock(impl_->mutex);
  TypingKeymaps& keymaps = impl_->Keymaps();
  std::string untypable;
  std::size_t at = 0;
  for (const TypedCharacter& c : TypedCharacters(text)) {
    const std::string_view bytes = text.substr(at, c.bytes);
    at += c.bytes;
    if (c.keysym != 0 && !keymaps.UserStroke(c.keysym) &&
        untypable.find(bytes) == std::string::npos)
      untypable += bytes;
  }
  return untypable;
}

std::size_t GnomeWindowSystem::TypeText(WindowId target, std::string_view text) {
  std::lock_guard lock(impl_->mutex);
  return UntypableText(text).empty() ? impl_->Type(target, text) : 0;
}

bool GnomeWindowSystem::PressKey(WindowId target, Key key) {
  std::lock_guard lock(impl_->mutex);
  return impl_->Press(target, key == Key::Enter ? XKB_KEY_Return : XKB_KEY_Tab);
}

void GnomeWindowSystem::BeginTyping() {
  std::lock_guard lock(impl_->mutex);
  impl_->Keymaps();
  impl_->wayland.BeginDirectInput();
}

// GNOME shows that a remote desktop session runs: it ends with the typing.
void GnomeWindowSystem::EndTyping() {
  std::lock_guard lock(impl_->mutex);
  impl_->wayland.EndDirectInput();
  impl_->StopSession();
}

void GnomeWindowSystem::Minimise(WindowId window) {
  std::lock_guard lock(impl_->mutex);
  impl_->Call(kShell, kWindowsPath, kWindowsInterface, "Minimize",
              g_variant_new("(t)", static_cast<guint64>(window)), nullptr);
}

void GnomeWindowSystem::Maximise(WindowId window) {
  std::lock_guard lock(impl_->mutex);
  impl_->Call(kShell, kWindowsPath, kWindowsInterface, "Maximize",
              g_variant_new("(t)", static_cast<guint64>(window)), nullptr);
}

}  // namespace norvax
