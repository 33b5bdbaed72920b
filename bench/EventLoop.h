// Running the calling thread's event loop from a bench.
#ifndef PINWORTH_BENCH_EVENT_LOOP_H
#define PINWORTH_BENCH_EVENT_LOOP_H

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

// Runs the event loop, blocking in it, until done() or for at most ms.
inline void RunEventsUntil(const std::function<bool()> &done, int ms) {
  QEventLoop loop;
  QTimer check;
  QElapsedTimer waited;
  waited.start();
  QObject::connect(&check, &QTimer::timeout, [&] {
    if (done() || waited.elapsed() >= ms)
      loop.quit();
  });
  check.start(5);
  loop.exec();
}

inline void WaitForEvents(int ms) {
  RunEventsUntil([] { return false; }, ms);
}

#endif
