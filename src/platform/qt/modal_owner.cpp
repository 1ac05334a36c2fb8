#include "platform/qt/modal_owner.h"

#include <QApplication>
#include <QDialog>

namespace norvax {

QWidget* ModalOwner(QWidget* openedFrom) {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  QWidget* window = openedFrom ? openedFrom->window() : nullptr;
  return window && window->isVisible() ? window : nullptr;
}

void PlaceOver(QWidget& window, QWidget* owner) {
  const Qt::WindowFlags flags =
      (window.windowFlags() & ~Qt::WindowType_Mask) | (owner ? Qt::Dialog : Qt::Window);
  if (window.parentWidget() != owner || window.windowFlags() != flags) {
    window.setParent(owner, flags);
  }
  // The program ends with its main window only, not with a window opened from it (the log
  // viewer is the last window shown while the main window is hidden).
  window.setAttribute(Qt::WA_QuitOnClose, false);
}

int ExecModal(QDialog& dialog) {
  PlaceOver(dialog, ModalOwner(dialog.parentWidget()));
  return dialog.exec();
}

}  // namespace norvax
