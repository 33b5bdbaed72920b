// Default-mode delivery: work and queued calls wait while a modal scope is
// open, then arrive in order.
#include "runloop/DefaultMode.h"

#include <QtTest>

#include <vector>

class DefaultModeTest : public QObject {
  Q_OBJECT

private slots:
  // Work waits for the last of nested scopes and runs from the outer loop;
  // work that opens a scope itself (an alert) holds the rest.
  void workWaitsForTheLastScope() {
    std::vector<int> order;
    runloop::RunInDefaultMode([&] { order.push_back(0); });
    {
      runloop::ModalScope outer;
      {
        runloop::ModalScope inner;
        runloop::RunInDefaultMode([&] {
          order.push_back(1);
          runloop::ModalScope alert;
          QCoreApplication::processEvents();
          QCOMPARE(order, (std::vector<int>{0, 1}));
        });
      }
      QCoreApplication::processEvents();
      runloop::RunInDefaultMode([&] { order.push_back(2); });
    }
    runloop::RunInDefaultMode([&] { order.push_back(3); });
    QCOMPARE(order, std::vector<int>{0});
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(order, (std::vector<int>{0, 1, 2, 3}));
  }

  // Posted calls never run inside post(), and not once the queue is gone.
  void queuedCallsRunLaterWhileTheQueueLives() {
    int calls = 0;
    auto queue = std::make_unique<runloop::DefaultModeQueue>();
    queue->post([&] { calls++; });
    QCOMPARE(calls, 0);
    QCoreApplication::processEvents();
    QCOMPARE(calls, 1);
    {
      runloop::ModalScope modal;
      queue->post([&] { calls++; });
      QCoreApplication::processEvents();
    }
    queue->post([&] { calls++; });
    queue.reset();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(calls, 1);
  }
};

QTEST_GUILESS_MAIN(DefaultModeTest)
#include "tst_default_mode.moc"
