#include "app/framework/AlertPanel.h"
#include "app/framework/ModalSession.h"
#include "tests/support/ModalTestSupport.h"

#include "runloop/DefaultMode.h"

#include <QMessageBox>
#include <QTest>

class AlertPanelTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() { WarnAboutModalsOutsideScope(); }

  void showsTheAlertAndHoldsDefaultModeWork_data() {
    QTest::addColumn<int>("key"); // 0: a click on the button
    QTest::newRow("OK clicked") << 0;
    QTest::newRow("Escape") << int(Qt::Key_Escape);
  }

  // The title heads the box, the message stands below, one "OK" button
  // dismisses it, and default-mode work waits until then.
  void showsTheAlertAndHoldsDefaultModeWork() {
    QFETCH(int, key);
    ModalWatchdog watchdog;
    int workDone = 0;
    AlertAnswerer answerer([&](QMessageBox *box) {
      QCOMPARE(box->windowTitle(), "Pinworth not found");
      QCOMPARE(box->windowModality(), Qt::ApplicationModal);
      runloop::RunInDefaultMode([&] { ++workDone; });
      QCoreApplication::processEvents();
      QCOMPARE(workDone, 0);
      if (key)
        QTest::keyClick(box, Qt::Key(key));
    });
    RunAlertPanel(nullptr, "Pinworth not found",
                  "There is no Pinworth device attached to you mac.");
    QCOMPARE(answerer.shown(),
             QStringList{"Pinworth not found | There is no Pinworth device "
                         "attached to you mac. | OK"});
    QTRY_COMPARE(workDone, 1);
    VerifyModalsClosed(watchdog);
  }

  // A modal run without the helper, as a stray QMessageBox::question would
  // be, is named on standard error; one run through it is not.
  void modalOutsideAScopeIsReported() {
    QMessageBox box(QMessageBox::Question, "Delete?", "Delete it?");
    WhenModalUp(
        [](QWidget *modal) { static_cast<QDialog *>(modal)->reject(); });
    QTest::ignoreMessage(QtWarningMsg,
                         "Modal window \"Delete?\" (QMessageBox) shown outside "
                         "a modal scope: poll ticks, interrupt reports and "
                         "device notifications would be delivered under it");
    box.exec();
    QTest::failOnWarning(QRegularExpression("outside a modal scope"));
    WhenModalUp(
        [](QWidget *modal) { static_cast<QDialog *>(modal)->reject(); });
    RunModal(box);
  }
};

QTEST_MAIN(AlertPanelTest)
#include "tst_alert_panel.moc"
