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
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(milliseconds), &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace norvax
