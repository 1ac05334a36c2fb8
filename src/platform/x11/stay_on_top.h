// Keeping a top-level window above the others, without re-creating its native window:
// changing Qt's window flag re-creates it on X11, so that it loses its place and flickers.
#pragma once

class QWidget;

namespace norvax {

// Sets window's stay-on-top state. On X11 the window manager is asked through the EWMH
// _NET_WM_STATE_ABOVE: by a message while the window is shown, in the property while it is
// hidden (the window manager reads it when the window is shown). On other platforms (the
// offscreen one of the tests) only the widget's flag changes.
void SetStaysOnTop(QWidget* window, bool on);

}  // namespace norvax
