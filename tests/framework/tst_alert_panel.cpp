#include "AlertPanel.h"
#include "ModalTestSupport.h"

#include "platform/DefaultMode.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>

#include <memory>

class AlertPanelTest : public QObject {
  Q_OBJECT

private slots:
  void init();
  void cleanup();

  void showsTitleMessageAndOneOKButton();
  void messageIsPlainText();
  void returnAndEscapeDismiss_data();
  void returnAndEscapeDismiss();
  void defaultModeWorkWaitsUntilDismissed();
  void isAWindowOfItsParent();

private:
  std::unique_ptr<ModalWatchdog> watchdog_;
};

void AlertPanelTest::init() {
  watchdog_ = std::make_unique<ModalWatchdog>();
}

void AlertPanelTest::cleanup() {
  QVERIFY2(!watchdog_->fired(), "a modal widget was left up");
  watchdog_.reset();
  QVERIFY(!QApplication::activeModalWidget());
  QVERIFY(!hid::InModalScope());
}

void AlertPanelTest::showsTitleMessageAndOneOKButton() {
  QString title, text;
  QStringList buttons;
  Qt::WindowModality modality = Qt::NonModal;
  bool scopeWasOpen = false;
  WhenModalUp([&](QWidget *modal) {
    auto *box = qobject_cast<QMessageBox *>(modal);
    QVERIFY(box);
    title = box->windowTitle();
    text = box->text();
    for (QAbstractButton *button : box->buttons())
      buttons.append(button->text());
    modality = box->windowModality();
    scopeWasOpen = hid::InModalScope();
    QTest::mouseClick(box->buttons().value(0), Qt::LeftButton);
  });
  RunAlertPanel(nullptr, "Pinworth not found",
                "There is no Pinworth device attached to you mac.");
  QCOMPARE(title, "Pinworth not found");
  QCOMPARE(text, "There is no Pinworth device attached to you mac.");
  QCOMPARE(buttons, QStringList({"OK"}));
  QCOMPARE(modality, Qt::ApplicationModal);
  QVERIFY(scopeWasOpen);
}

void AlertPanelTest::messageIsPlainText() {
  Qt::TextFormat format = Qt::RichText;
  WhenModalUp([&format](QWidget *modal) {
    auto *box = qobject_cast<QMessageBox *>(modal);
    QVERIFY(box);
    format = box->textFormat();
    QTest::keyClick(box, Qt::Key_Return);
  });
  RunAlertPanel(nullptr, "t", "<b>not bold</b>");
  QCOMPARE(format, Qt::PlainText);
}

void AlertPanelTest::returnAndEscapeDismiss_data() {
  QTest::addColumn<int>("key");
  QTest::newRow("Return") << int(Qt::Key_Return);
  QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void AlertPanelTest::returnAndEscapeDismiss() {
  QFETCH(int, key);
  bool dismissedByKey = false;
  WhenModalUp([key, &dismissedByKey](QWidget *modal) {
    QTest::keyClick(modal, Qt::Key(key));
    dismissedByKey = !modal->isVisible();
  });
  RunAlertPanel(nullptr, "Invalid data format",
                "Please only use hex values between 00 and FF.");
  QVERIFY(dismissedByKey);
}

void AlertPanelTest::defaultModeWorkWaitsUntilDismissed() {
  int workDone = 0;
  WhenModalUp([&workDone](QWidget *modal) {
    hid::RunInDefaultMode([&workDone] { ++workDone; });
    QCoreApplication::processEvents();
    QCOMPARE(workDone, 0);
    QTest::keyClick(modal, Qt::Key_Return);
  });
  RunAlertPanel(nullptr, "Pinworth Error", "message");
  QCOMPARE(workDone, 0);
  QTRY_COMPARE(workDone, 1);
}

void AlertPanelTest::isAWindowOfItsParent() {
  QWidget parent;
  parent.show();
  QWidget *boxParent = nullptr;
  WhenModalUp([&boxParent](QWidget *modal) {
    boxParent = modal->parentWidget();
    QTest::keyClick(modal, Qt::Key_Return);
  });
  RunAlertPanel(&parent, "t", "m");
  QCOMPARE(boxParent, &parent);
  QVERIFY(parent.findChildren<QMessageBox *>().isEmpty());
}

QTEST_MAIN(AlertPanelTest)
#include "tst_alert_panel.moc"
