#include "platform/x11/x11_window_system.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "platform/cp932.h"
#include "platform/typed_text.h"
#include "platform/x11/direct_input.h"

namespace norvax {
namespace {

// X errors on our connection (a window that vanished while we looked at it) are expected;
// they are recorded instead of ending the program.
std::atomic<int> lastXError{0};

int RecordXError(Display*, XErrorEvent* event) {
  lastXError = event->error_code;
  return 0;
}

void PauseMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

struct X11WindowSystem::Impl {
  Display* display = nullptr;
  Window root = 0;
  Atom netClientListStacking = 0, netClientList = 0, netActiveWindow = 0, netWmName = 0,
       netWmPid = 0, netSupportingWmCheck = 0, utf8String = 0, wmProtocols = 0, netWmPing = 0;
  long lastPing = 0;
  int minKeycode = 0, maxKeycode = 0;
  std::optional<DirectInput> directInput;

  template <typename T>
  std::vector<T> Property(Window w, Atom property, Atom type) {
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<T> out;
    if (XGetWindowProperty(display, w, property, 0, 1 << 20, False, type, &actualType, &format,
                           &count, &after, &data) == Success &&
        data) {
      if (actualType == type) {
        if constexpr (sizeof(T) == 1) {
          out.assign(data, data + count);
        } else {
          auto* longs = reinterpret_cast<unsigned long*>(data);
          for (unsigned long i = 0; i < count; ++i) out.push_back(static_cast<T>(longs[i]));
        }
      }
      XFree(data);
    }
    return out;
  }

  bool WindowManagerRuns() {
    auto check = Property<Window>(root, netSupportingWmCheck, XA_WINDOW);
    if (check.empty()) return false;
    auto self = Property<Window>(check[0], netSupportingWmCheck, XA_WINDOW);
    return !self.empty() && self[0] == check[0];
  }

  std::vector<Window> ClientList() {
    if (!WindowManagerRuns()) return {};
    auto stacking = Property<Window>(root, netClientListStacking, XA_WINDOW);
    if (stacking.empty()) stacking = Property<Window>(root, netClientList, XA_WINDOW);
    std::reverse(stacking.begin(), stacking.end());
    return stacking;
  }

  Window Parent(Window w) {
    Window rootReturn = 0, parent = 0;
    Window* children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(display, w, &rootReturn, &parent, &children, &n)) return 0;
    if (children) XFree(children);
    return parent;
  }

  // The child of the root window that contains w.
  Window TopLevelAncestor(Window w) {
    while (w) {
      Window parent = Parent(w);
      if (!parent || parent == root) return parent ? w : 0;
      w = parent;
    }
    return 0;
  }

  std::string CaptionUtf8(Window w) {
    auto name = Property<unsigned char>(w, netWmName, utf8String);
    if (!name.empty()) return std::string(name.begin(), name.end());
    XTextProperty text{};
    std::string out;
    if (XGetWMName(display, w, &text) && text.value) {
      char** list = nullptr;
      int count = 0;
      if (Xutf8TextPropertyToTextList(display, &text, &list, &count) >= Success && list) {
        if (count > 0 && list[0]) out = list[0];
        XFreeStringList(list);
      }
      XFree(text.value);
    }
    return out;
  }

  // The client window that holds the keyboard focus; 0 when none does.
  Window Focused() {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus == None || focus == PointerRoot) return 0;
    Window top = TopLevelAncestor(focus);
    if (!top) return 0;
    auto clients = ClientList();
    if (clients.empty()) return top;
    // With a window manager the top-level window is its frame: find the client inside it,
    // or the client that holds the focus itself.
    for (Window w = focus; w && w != root; w = Parent(w)) {
      if (std::find(clients.begin(), clients.end(), w) != clients.end()) return w;
    }
    for (Window c : clients) {
      if (TopLevelAncestor(c) == top) return c;
    }
    return 0;
  }

  // Waits until the program of window w has read every event sent to it so far: the
  // window manager's ping (_NET_WM_PING), sent to it now, comes back once it has read the
  // events before it. False when the program takes no part in the ping or does not answer
  // within kEventsReadTimeoutMs.
  bool WaitUntilEventsRead(Window w) {
    Atom* protocols = nullptr;
    int count = 0;
    bool pings = false;
    if (XGetWMProtocols(display, w, &protocols, &count)) {
      pings = std::find(protocols, protocols + count, netWmPing) != protocols + count;
      XFree(protocols);
    }
    if (!pings) return false;
    // The answer goes to the root window, to those who watch its children (or, as Qt sends
    // it, the root window itself).
    XSelectInput(display, root, SubstructureNotifyMask | StructureNotifyMask);
    XEvent ping{};
    ping.xclient.type = ClientMessage;
    ping.xclient.window = w;
    ping.xclient.message_type = wmProtocols;
    ping.xclient.format = 32;
    ping.xclient.data.l[0] = static_cast<long>(netWmPing);
    ping.xclient.data.l[1] = ++lastPing;
    ping.xclient.data.l[2] = static_cast<long>(w);
    XSendEvent(display, w, False, NoEventMask, &ping);
    XFlush(display);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kEventsReadTimeoutMs);
    bool answered = false;
    while (!answered) {
      while (!answered && XPending(display)) {
        XEvent event{};
        XNextEvent(display, &event);
        answered = event.type == ClientMessage && event.xclient.window == root &&
                   event.xclient.message_type == wmProtocols &&
                   event.xclient.data.l[0] == static_cast<long>(netWmPing) &&
                   event.xclient.data.l[1] == lastPing;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (answered || left <= 0) break;
      pollfd p{ConnectionNumber(display), POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) break;
    }
    XSelectInput(display, root, NoEventMask);
    XSync(display, True);  // without the events that came meanwhile
    return answered;
  }

  // Keycodes and the shift level at which they give a key symbol.
  struct KeyStroke {
    KeyCode code = 0;
    bool shift = false;
  };

  // The keyboard mapping of the server, read afresh for each typing: the user (or
  // setxkbmap) may have changed the layout since the last one.
  XkbDescPtr keymap = nullptr;

  void LoadKeymap() {
    if (keymap) XkbFreeKeyboard(keymap, 0, True);
    keymap =
        XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd);
    auto numLock = FindKey(XK_Num_Lock);
    numLockMask = numLock && keymap ? keymap->map->modmap[numLock->code] : 0;
  }

  // The key that gives sym in the first layout group, unshifted or with Shift.
  std::optional<KeyStroke> FindKey(KeySym sym) {
    if (!keymap) return std::nullopt;
    for (int kc = keymap->min_key_code; kc <= keymap->max_key_code; ++kc) {
      if (XkbKeyNumGroups(keymap, kc) < 1) continue;
      for (int level = 0; level < std::min(2, static_cast<int>(XkbKeyGroupWidth(keymap, kc, 0)));
           ++level) {
        if (XkbKeySymEntry(keymap, kc, level, 0) == sym) {
          return KeyStroke{static_cast<KeyCode>(kc), level == 1};
        }
      }
    }
    return std::nullopt;
  }

  // Keycodes without any key symbol, free to be remapped for a moment.
  std::vector<KeyCode> SpareKeycodes() {
    int perCode = 0;
    int count = maxKeycode - minKeycode + 1;
    KeySym* map = XGetKeyboardMapping(display, static_cast<KeyCode>(minKeycode), count, &perCode);
    std::vector<KeyCode> spare;
    for (int i = 0; i < count && map; ++i) {
      bool empty = true;
      for (int j = 0; j < perCode; ++j) empty = empty && map[i * perCode + j] == NoSymbol;
      if (empty) spare.push_back(static_cast<KeyCode>(minKeycode + i));
    }
    if (map) XFree(map);
    return spare;
  }

  // What the user had locked when the typing began, given back when it ends.
  struct SavedLocks {
    unsigned int mods = 0;     // locked modifiers that the typing unlocked
    std::optional<int> group;  // the locked layout group, when it was not the first
  };

  // Num Lock changes only the keypad, whose keys are never typed: it stays as it is.
  unsigned int numLockMask = 0;

  ~Impl() {
    if (keymap) XkbFreeKeyboard(keymap, 0, True);
  }

  void ReleaseHeldModifierKeys() {
    char keys[32];
    XQueryKeymap(display, keys);
    XModifierKeymap* mods = XGetModifierMapping(display);
    for (int i = 0; i < 8 * mods->max_keypermod; ++i) {
      KeyCode kc = mods->modifiermap[i];
      if (kc && (keys[kc / 8] & (1 << (kc % 8))))
        XTestFakeKeyEvent(display, kc, False, CurrentTime);
    }
    XFreeModifiermap(mods);
  }

  // Brings the keyboard into the state the keys are looked up in: no modifier held,
  // latched or locked (Caps Lock is unlocked through XKB: on some layouts, the jp one among
  // them, the key that carries Caps_Lock gives another key symbol unshifted) and the first
  // layout group. What was locked is added to saved.
  void Neutralise(SavedLocks& saved) {
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);
    if (state.base_mods) ReleaseHeldModifierKeys();
    if (state.latched_mods) XkbLatchModifiers(display, XkbUseCoreKbd, state.latched_mods, 0);
    if (unsigned int locked = state.locked_mods & ~numLockMask) {
      saved.mods |= locked;
      XkbLockModifiers(display, XkbUseCoreKbd, locked, 0);
    }
    if (state.latched_group) XkbLatchGroup(display, XkbUseCoreKbd, 0);
    if (state.locked_group) {
      if (!saved.group) saved.group = state.locked_group;
      XkbLockGroup(display, XkbUseCoreKbd, 0);
    }
  }

  void Restore(const SavedLocks& saved) {
    if (saved.mods) XkbLockModifiers(display, XkbUseCoreKbd, saved.mods, saved.mods);
    if (saved.group) XkbLockGroup(display, XkbUseCoreKbd, static_cast<unsigned int>(*saved.group));
    XSync(display, False);
  }

  // Presses and releases one key in target, with Shift when asked; false, and nothing sent,
  // when target does not hold the focus. Under a grab of the server no other program's
  // request runs between the check of the focus and the key, so that the key cannot go to
  // a window that took the focus meanwhile, and a modifier another program (or the user)
  // presses cannot change the character. The round trip at the end has the key processed
  // before the next check.
  bool Tap(Window target, KeyCode code, bool shift, SavedLocks& saved) {
    XGrabServer(display);
    const bool focused = Focused() == target;
    if (focused) {
      Neutralise(saved);
      auto shiftKey = FindKey(XK_Shift_L);
      KeyCode shiftCode = shiftKey ? shiftKey->code : XKeysymToKeycode(display, XK_Shift_L);
      if (shift) XTestFakeKeyEvent(display, shiftCode, True, CurrentTime);
      XTestFakeKeyEvent(display, code, True, CurrentTime);
      XTestFakeKeyEvent(display, code, False, CurrentTime);
      if (shift) XTestFakeKeyEvent(display, shiftCode, False, CurrentTime);
    }
    XUngrabServer(display);
    XSync(display, False);
    if (focused && directInput && directInput->Runs()) {
      WaitUntilEventsRead(target);
      PauseMs(kInputMethodKeyPauseMs);
    }
    return focused;
  }
};

X11WindowSystem::X11WindowSystem(const char* displayName) : impl_(std::make_unique<Impl>()) {
  Display* d = XOpenDisplay(displayName);
  if (!d) return;
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(d, &event, &error, &major, &minor)) {
    XCloseDisplay(d);
    return;
  }
  XSetErrorHandler(RecordXError);
  auto& i = *impl_;
  i.display = d;
  i.root = DefaultRootWindow(d);
  i.netClientListStacking = XInternAtom(d, "_NET_CLIENT_LIST_STACKING", False);
  i.netClientList = XInternAtom(d, "_NET_CLIENT_LIST", False);
  i.netActiveWindow = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
  i.netWmName = XInternAtom(d, "_NET_WM_NAME", False);
  i.netWmPid = XInternAtom(d, "_NET_WM_PID", False);
  i.netSupportingWmCheck = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
  i.utf8String = XInternAtom(d, "UTF8_STRING", False);
  i.wmProtocols = XInternAtom(d, "WM_PROTOCOLS", False);
  i.netWmPing = XInternAtom(d, "_NET_WM_PING", False);
  XDisplayKeycodes(d, &i.minKeycode, &i.maxKeycode);
}

X11WindowSystem::~X11WindowSystem() {
  if (impl_->display) XCloseDisplay(impl_->display);
}

bool X11WindowSystem::Available() const { return impl_->display != nullptr; }

std::vector<WindowId> X11WindowSystem::TopLevelWindows() {
  if (!Available()) return {};
  auto& i = *impl_;
  std::vector<WindowId> out;
  auto clients = i.ClientList();
  if (!clients.empty()) {
    out.assign(clients.begin(), clients.end());
    return out;
  }
  // No window manager: the mapped children of the root, topmost first.
  Window rootReturn = 0, parent = 0;
  Window* children = nullptr;
  unsigned int n = 0;
  if (!XQueryTree(i.display, i.root, &rootReturn, &parent, &children, &n)) return out;
  for (unsigned int k = n; k-- > 0;) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(i.display, children[k], &attributes) &&
        attributes.map_state == IsViewable && !attributes.override_redirect) {
      out.push_back(children[k]);
    }
  }
  if (children) XFree(children);
  return out;
}

std::string X11WindowSystem::CaptionUtf8(WindowId window) {
  if (!Available()) return {};
  return impl_->CaptionUtf8(static_cast<Window>(window));
}

std::string X11WindowSystem::Caption(WindowId window) {
  return Cp932ForDisplay(CaptionUtf8(window));
}

std::string X11WindowSystem::ClassName(WindowId window) {
  if (!Available()) return {};
  XClassHint hint{};
  std::string out;
  if (XGetClassHint(impl_->display, static_cast<Window>(window), &hint)) {
    if (hint.res_class) out = hint.res_class;
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
  }
  return Cp932ForDisplay(out);
}

std::uint32_t X11WindowSystem::ProcessId(WindowId window) {
  if (!Available()) return 0;
  auto pid =
      impl_->Property<unsigned long>(static_cast<Window>(window), impl_->netWmPid, XA_CARDINAL);
  if (!pid.empty()) return static_cast<std::uint32_t>(pid[0]);
  // A toolkit that sets no process id: the server knows the process of a local client.
  XResClientIdSpec spec{static_cast<XID>(window), XRES_CLIENT_ID_PID_MASK};
  long count = 0;
  XResClientIdValue* values = nullptr;
  lastXError = 0;
  if (XResQueryClientIds(impl_->display, 1, &spec, &count, &values) != Success || lastXError != 0) {
    return 0;
  }
  std::uint32_t out = 0;
  for (long i = 0; i < count; ++i) {
    if (XResGetClientIdType(&values[i]) == XRES_CLIENT_ID_PID) {
      out = static_cast<std::uint32_t>(std::max<pid_t>(0, XResGetClientPid(&values[i])));
    }
  }
  XResClientIdsDestroy(count, values);
  return out;
}

bool X11WindowSystem::Exists(WindowId window) {
  if (!Available()) return false;
  XWindowAttributes attributes{};
  lastXError = 0;
  bool ok = XGetWindowAttributes(impl_->display, static_cast<Window>(window), &attributes);
  return ok && lastXError == 0;
}

WindowId X11WindowSystem::Foreground() {
  if (!Available()) return 0;
  return impl_->Focused();
}

bool X11WindowSystem::SetForeground(WindowId window) {
  if (!Available()) return false;
  auto& i = *impl_;
  auto w = static_cast<Window>(window);
  if (!Exists(window)) return false;
  lastXError = 0;
  if (i.WindowManagerRuns()) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = w;
    event.xclient.message_type = i.netActiveWindow;
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2;  // request from a tool acting for the user
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(i.display, i.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  } else {
    XMapRaised(i.display, w);
    XSetInputFocus(i.display, w, RevertToParent, CurrentTime);
  }
  XSync(i.display, False);
  return lastXError == 0;
}

std::size_t X11WindowSystem::TypeText(WindowId target, std::string_view text) {
  auto& i = *impl_;
  if (text.empty()) return 0;
  if (Foreground() != target) return 0;  // the keyboard mapping stays as it is
  i.LoadKeymap();
  Impl::SavedLocks saved;
  std::vector<KeyCode> spare = i.SpareKeycodes();
  const auto characters = TypedCharacters(text);
  std::size_t typed = 0;
  for (std::size_t next = 0; next < characters.size();) {
    // The next few characters, with the keys that type them; characters the keymap lacks
    // share one change of the mapping, on spare keycodes.
    struct Pending {
      std::size_t bytes;
      std::optional<Impl::KeyStroke> stroke;
      KeySym sym;
    };
    std::vector<Pending> batch;
    std::vector<KeySym> remapped;
    for (; next < characters.size() && batch.size() < 64; ++next) {
      KeySym sym = characters[next].keysym;
      auto stroke = sym == NoSymbol ? std::nullopt : i.FindKey(sym);
      if (!stroke && sym != NoSymbol) {
        if (remapped.size() >= spare.size()) break;
        if (std::find(remapped.begin(), remapped.end(), sym) == remapped.end())
          remapped.push_back(sym);
      }
      batch.push_back({characters[next].bytes, stroke, sym});
    }
    if (batch.empty()) break;  // no spare keycode at all: nothing more can be typed
    for (std::size_t k = 0; k < remapped.size(); ++k) {
      KeySym both[2] = {remapped[k], remapped[k]};
      XChangeKeyboardMapping(i.display, spare[k], 2, both, 1);
    }
    if (!remapped.empty()) {
      XSync(i.display, False);
      PauseMs(kRemapPauseMs);
    }
    bool focusLost = false;
    for (auto& p : batch) {
      const auto w = static_cast<Window>(target);
      if (p.stroke) {
        focusLost = !i.Tap(w, p.stroke->code, p.stroke->shift, saved);
      } else if (p.sym != NoSymbol) {
        auto at = std::find(remapped.begin(), remapped.end(), p.sym) - remapped.begin();
        focusLost = !i.Tap(w, spare[static_cast<std::size_t>(at)], false, saved);
      }
      if (focusLost) break;
      typed += p.bytes;
    }
    if (!remapped.empty()) {
      // The program reads the keys with the keyboard mapping of when it reads them.
      if (!i.WaitUntilEventsRead(static_cast<Window>(target))) PauseMs(kRemapPauseMs);
      for (std::size_t k = 0; k < remapped.size(); ++k) {
        KeySym none[2] = {NoSymbol, NoSymbol};
        XChangeKeyboardMapping(i.display, spare[k], 2, none, 1);
      }
      XSync(i.display, False);
    }
    if (focusLost) break;
  }
  i.Restore(saved);
  return typed;
}

bool X11WindowSystem::PressKey(WindowId target, Key key) {
  auto& i = *impl_;
  if (Foreground() != target) return false;
  i.LoadKeymap();
  auto stroke = i.FindKey(key == Key::Enter ? XK_Return : XK_Tab);
  if (!stroke) return false;
  Impl::SavedLocks saved;
  const bool pressed = i.Tap(static_cast<Window>(target), stroke->code, false, saved);
  i.Restore(saved);
  return pressed;
}

void X11WindowSystem::BeginTyping() {
  if (!Available()) return;
  auto& i = *impl_;
  // The layout the server has decides the keyboard engine ibus falls back on.
  auto rules = i.Property<unsigned char>(i.root, XInternAtom(i.display, "_XKB_RULES_NAMES", False),
                                         XA_STRING);
  // "rules\0model\0layout\0variant\0options\0"
  std::string names(rules.begin(), rules.end());
  std::size_t layout = 0;
  for (int field = 0; field < 2 && layout != std::string::npos; ++field) {
    layout = names.find('\0', layout);
    if (layout != std::string::npos) ++layout;
  }
  const bool jp = layout != std::string::npos && names.compare(layout, 2, "jp") == 0;
  i.directInput.reset();
  i.directInput.emplace(DisplayString(i.display), jp ? "xkb:jp::jpn" : "xkb:us::eng");
}

void X11WindowSystem::EndTyping() { impl_->directInput.reset(); }

bool X11WindowSystem::WaitUntilEventsRead(WindowId window) {
  return Available() && impl_->WaitUntilEventsRead(static_cast<Window>(window));
}

void X11WindowSystem::Minimise(WindowId window) {
  if (!Available()) return;
  XIconifyWindow(impl_->display, static_cast<Window>(window), DefaultScreen(impl_->display));
  XSync(impl_->display, False);
}

void X11WindowSystem::Maximise(WindowId window) {
  if (!Available()) return;
  auto& i = *impl_;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = static_cast<Window>(window);
  event.xclient.message_type = XInternAtom(i.display, "_NET_WM_STATE", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = 1;  // add
  event.xclient.data.l[1] =
      static_cast<long>(XInternAtom(i.display, "_NET_WM_STATE_MAXIMIZED_VERT", False));
  event.xclient.data.l[2] =
      static_cast<long>(XInternAtom(i.display, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
  event.xclient.data.l[3] = 2;  // request from a tool acting for the user
  XSendEvent(i.display, i.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XSync(i.display, False);
}

}  // namespace norvax
