#include "platform/qt/qt_clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace norvax {

void QtClock::Sleep(uint32_t milliseconds) {
  if (!QCoreApplication::instance() || QThread::currentThread() != qApp->thread()) {
    SystemClock::Sleep(milliseconds);
    return;
  }
  // Not an event loop of its own: once the program has been asked to end, a new event loop
  // returns at once, and the waits of the end (for the worker) must still pass.
  QTimer timer;
  timer.setSingleShot(true);
  timer.start(static_cast<int>(milliseconds));
  while (timer.isActive()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

}  // namespace norvax
