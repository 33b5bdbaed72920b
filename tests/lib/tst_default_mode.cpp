// Default-mode delivery: work and timer ticks wait while a modal scope is
// open, then arrive in order; missed ticks make one.
#include "runloop/DefaultMode.h"

#include <QtTest>

#include <vector>

class DefaultModeTest : public QObject {
  Q_OBJECT

private slots:
  void runsAtOnceOutsideModal();
  void waitsForTheLastOfNestedScopes();
  void workOpeningAScopeHoldsTheRest();
  void timerTicksOnceForAllMissedTicks();
  void stoppedTimerDropsItsWaitingTick();
  void receiverMayDestroyTheTimer();
};

void DefaultModeTest::runsAtOnceOutsideModal() {
  int runs = 0;
  runloop::RunInDefaultMode([&] { runs++; });
  QCOMPARE(runs, 1);
}

void DefaultModeTest::waitsForTheLastOfNestedScopes() {
  std::vector<int> order;
  {
    runloop::ModalScope outer;
    {
      runloop::ModalScope inner;
      runloop::RunInDefaultMode([&] { order.push_back(1); });
    }
    QCoreApplication::processEvents();
    runloop::RunInDefaultMode([&] { order.push_back(2); });
    QVERIFY(order.empty());
  }
  runloop::RunInDefaultMode([&] { order.push_back(3); }); // behind the others
  QVERIFY(order.empty());
  QCoreApplication::processEvents();
  QCOMPARE(order, (std::vector<int>{1, 2, 3}));
}

void DefaultModeTest::workOpeningAScopeHoldsTheRest() {
  std::vector<int> order;
  auto scope = std::make_unique<runloop::ModalScope>();
  runloop::RunInDefaultMode([&] {
    order.push_back(1);
    runloop::ModalScope alert; // like an alert shown by a poll
    QCoreApplication::processEvents();
    QCOMPARE(order, std::vector<int>{1});
  });
  runloop::RunInDefaultMode([&] { order.push_back(2); });
  scope.reset();
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  QCOMPARE(order, (std::vector<int>{1, 2}));
}

void DefaultModeTest::timerTicksOnceForAllMissedTicks() {
  runloop::DefaultModeTimer timer;
  int ticks = 0;
  connect(&timer, &runloop::DefaultModeTimer::timeout, [&] { ticks++; });
  timer.start(10);
  QTRY_VERIFY(ticks >= 2);
  {
    runloop::ModalScope modal;
    ticks = 0;
    QTest::qWait(120); // about 12 ticks missed
    QCOMPARE(ticks, 0);
  }
  QCoreApplication::processEvents();
  QCOMPARE(ticks, 1);
  QVERIFY(timer.isActive());
  QTRY_VERIFY(ticks >= 2); // and it goes on ticking
}

void DefaultModeTest::stoppedTimerDropsItsWaitingTick() {
  runloop::DefaultModeTimer timer;
  int ticks = 0;
  connect(&timer, &runloop::DefaultModeTimer::timeout, [&] { ticks++; });
  {
    runloop::ModalScope modal;
    timer.start(5);
    QTest::qWait(30);
    timer.stop();
  }
  QTest::qWait(30);
  QCOMPARE(ticks, 0);
  QVERIFY(!timer.isActive());
}

void DefaultModeTest::receiverMayDestroyTheTimer() {
  for (bool missedWhileModal : {false, true}) {
    auto *timer = new runloop::DefaultModeTimer;
    QPointer<runloop::DefaultModeTimer> alive(timer);
    connect(timer, &runloop::DefaultModeTimer::timeout,
            [timer] { delete timer; });
    timer->start(5);
    if (missedWhileModal) {
      runloop::ModalScope modal;
      QTest::qWait(20);
    }
    QTRY_VERIFY(!alive);
  }
}

QTEST_GUILESS_MAIN(DefaultModeTest)
#include "tst_default_mode.moc"
