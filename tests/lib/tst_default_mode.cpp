// Default-mode delivery: work and timer ticks wait while a modal scope is
// open, then arrive in order; missed ticks make one.
#include "platform/DefaultMode.h"

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
  hid::RunInDefaultMode([&] { runs++; });
  QCOMPARE(runs, 1);
}

void DefaultModeTest::waitsForTheLastOfNestedScopes() {
  std::vector<int> order;
  {
    hid::ModalScope outer;
    {
      hid::ModalScope inner;
      hid::RunInDefaultMode([&] { order.push_back(1); });
    }
    QCoreApplication::processEvents();
    hid::RunInDefaultMode([&] { order.push_back(2); });
    QVERIFY(order.empty());
  }
  hid::RunInDefaultMode([&] { order.push_back(3); }); // behind the others
  QVERIFY(order.empty());
  QCoreApplication::processEvents();
  QCOMPARE(order, (std::vector<int>{1, 2, 3}));
}

void DefaultModeTest::workOpeningAScopeHoldsTheRest() {
  std::vector<int> order;
  auto scope = std::make_unique<hid::ModalScope>();
  hid::RunInDefaultMode([&] {
    order.push_back(1);
    hid::ModalScope alert; // like an alert shown by a poll
    QCoreApplication::processEvents();
    QCOMPARE(order, std::vector<int>{1});
  });
  hid::RunInDefaultMode([&] { order.push_back(2); });
  scope.reset();
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  QCOMPARE(order, (std::vector<int>{1, 2}));
}

void DefaultModeTest::timerTicksOnceForAllMissedTicks() {
  hid::DefaultModeTimer timer;
  int ticks = 0;
  connect(&timer, &hid::DefaultModeTimer::timeout, [&] { ticks++; });
  timer.start(10);
  QTRY_VERIFY(ticks >= 2);
  {
    hid::ModalScope modal;
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
  hid::DefaultModeTimer timer;
  int ticks = 0;
  connect(&timer, &hid::DefaultModeTimer::timeout, [&] { ticks++; });
  {
    hid::ModalScope modal;
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
    auto *timer = new hid::DefaultModeTimer;
    QPointer<hid::DefaultModeTimer> alive(timer);
    connect(timer, &hid::DefaultModeTimer::timeout, [timer] { delete timer; });
    timer->start(5);
    if (missedWhileModal) {
      hid::ModalScope modal;
      QTest::qWait(20);
    }
    QTRY_VERIFY(!alive);
  }
}

QTEST_GUILESS_MAIN(DefaultModeTest)
#include "tst_default_mode.moc"
