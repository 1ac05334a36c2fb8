// Where a modal window goes. A window manager places a dialog by the window it belongs to
// (its transient-for window). A dialog that belongs to a window the window manager does not
// show - the main window while it is hidden for the log viewer, or before it is shown - is a
// dialog of no window there, and a second dialog opened over it can send the window manager
// and Qt into a focus loop: matchbox, asked to activate the dialog on top, first focuses the
// one beneath, which is blocked, and Qt hands that focus back to the dialog on top at once.
// So every modal window belongs to the modal window on top or to a window that is shown, and
// one that has neither is a window of its own.
#pragma once

class QDialog;
class QWidget;

namespace norvax {

// The window a modal window opened from openedFrom belongs to: the modal window on top when
// one is open, else openedFrom's window when it is shown, else none.
QWidget* ModalOwner(QWidget* openedFrom);

// Makes window a dialog of owner, or a window of its own when owner is null; its closing
// never ends the program.
void PlaceOver(QWidget& window, QWidget* owner);

// Shows dialog modally over ModalOwner(its parent) and returns its result. The owner is open
// beneath the dialog, so it outlives the showing.
int ExecModal(QDialog& dialog);

}  // namespace norvax
