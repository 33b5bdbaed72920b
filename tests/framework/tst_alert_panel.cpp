#include "ModalTestSupport.h"
#include "framework/AlertPanel.h"

#include "runloop/DefaultMode.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>

#include <memory>

class AlertPanelTest : public QObject {
  Q_OBJECT

  std::unique_ptr<ModalWatchdog> watchdog_;

private slots:
  void init() { watchdog_ = std::make_unique<ModalWatchdog>(); }

  void cleanup() {
    VerifyModalsClosed(*watchdog_);
    watchdog_.reset();
  }

  void showsTheAlertAndHoldsDefaultModeWork_data() {
    QTest::addColumn<int>("key"); // 0: a click on the button
    QTest::newRow("OK clicked") << 0;
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
  }

  // The box shows the title (as window title and headline), the message and
  // one "OK" button; each way dismisses it, and default-mode work waits until
  // then.
  void showsTheAlertAndHoldsDefaultModeWork() {
    QFETCH(int, key);
    QStringList shown;
    // Shared, so that work which runs late after a failure still has it.
    const auto workDone = std::make_shared<int>(0);
    WhenModalUp([key, workDone, &shown](QWidget *modal) {
      auto *box = qobject_cast<QMessageBox *>(modal);
      QVERIFY(box);
      shown << box->windowTitle() << box->text() << box->informativeText();
      for (QAbstractButton *button : box->buttons())
        shown << button->text();
      QCOMPARE(box->textFormat(), Qt::PlainText);
      runloop::RunInDefaultMode([workDone] { ++*workDone; });
      QCoreApplication::processEvents();
      QCOMPARE(*workDone, 0);
      if (key)
        QTest::keyClick(box, Qt::Key(key));
      else
        QTest::mouseClick(box->buttons().value(0), Qt::LeftButton);
    });
    RunAlertPanel(nullptr, "Pinworth not found",
                  "There is no Pinworth device attached to you mac.");
    QCOMPARE(shown,
             QStringList({"Pinworth not found", "Pinworth not found",
                          "There is no Pinworth device attached to you mac.",
                          "OK"}));
    QCOMPARE(*workDone, 0);
    QTRY_COMPARE(*workDone, 1);
  }
};

QTEST_MAIN(AlertPanelTest)
#include "tst_alert_panel.moc"
