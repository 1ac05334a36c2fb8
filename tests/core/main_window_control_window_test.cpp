// The main window's hand-over to the main thread, as the worker and the dialler use it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <thread>

#include "core/main_window.h"

namespace norvax {
namespace {

TEST(MainWindowControl, WorkFromAnotherThreadRunsOnTheMainThread) {
  MainWindowControl control;
  const QThread* mainThread = QThread::currentThread();
  std::atomic<bool> ranOnMain{false};
  std::atomic<bool> posted{false};
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    control.RunOnMainThread([&] { ranOnMain = QThread::currentThread() == mainThread; });
    returned = true;  // only after the main thread has run the work
    control.PostToMainThread([&] { posted = QThread::currentThread() == mainThread; });
  });
  QElapsedTimer timer;
  timer.start();
  while (!(returned && posted) && timer.elapsed() < 10000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  worker.join();
  EXPECT_TRUE(ranOnMain);
  EXPECT_TRUE(posted);

  bool direct = false;
  control.RunOnMainThread([&] { direct = true; });
  EXPECT_TRUE(direct) << "work handed over on the main thread runs at once";
}

}  // namespace
}  // namespace norvax
