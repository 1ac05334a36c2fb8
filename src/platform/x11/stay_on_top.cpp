#include "platform/x11/stay_on_top.h"

#include <QGuiApplication>
#include <QWidget>
#include <vector>

// After Qt: Xlib defines names Qt uses.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace norvax {
namespace {

// _NET_WM_STATE message: the actions and the source of the request.
constexpr long kStateRemove = 0;
constexpr long kStateAdd = 1;
constexpr long kFromApplication = 1;

std::vector<Atom> States(Display* display, Window window, Atom property) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<Atom> states;
  if (XGetWindowProperty(display, window, property, 0, 1024, False, XA_ATOM, &type, &format, &count,
                         &after, &data) == Success &&
      data) {
    if (type == XA_ATOM && format == 32) {
      const auto* atoms = reinterpret_cast<const Atom*>(data);
      states.assign(atoms, atoms + count);
    }
    XFree(data);
  }
  return states;
}

}  // namespace

void SetStaysOnTop(QWidget* window, bool on) {
  // The native window is made first (when it has none yet), with the flags as they were: Qt
  // puts a flag's state into the property whenever it shows the window, and would bring
  // back a state changed here since.
  const auto id = static_cast<Window>(window->winId());
  window->overrideWindowFlags(window->windowFlags().setFlag(Qt::WindowStaysOnTopHint, on));
  if (QGuiApplication::platformName() != QStringLiteral("xcb")) return;
  Display* display = qApp->nativeInterface<QNativeInterface::QX11Application>()->display();
  const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
  const Atom above = XInternAtom(display, "_NET_WM_STATE_ABOVE", False);
  if (window->isVisible()) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = id;
    event.xclient.message_type = state;
    event.xclient.format = 32;
    event.xclient.data.l[0] = on ? kStateAdd : kStateRemove;
    event.xclient.data.l[1] = static_cast<long>(above);
    event.xclient.data.l[3] = kFromApplication;
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
  } else {
    std::vector<Atom> states = States(display, id, state);
    std::erase(states, above);
    if (on) states.push_back(above);
    XChangeProperty(display, id, state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(states.data()),
                    static_cast<int>(states.size()));
  }
  XFlush(display);
}

}  // namespace norvax
