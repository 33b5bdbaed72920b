// Writing the report form: the device check, the fields' hexadecimal rule,
// the order and texts of the alerts, the bytes on the device's wire for both
// layouts, and the log row of a report sent.
#include "tests/app/ExplorerFixture.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

#include <vector>

using Faults = std::function<void(hid::sim::InterfaceFaults &)>;
Q_DECLARE_METATYPE(Faults)

namespace {

const QString kInvalidData =
    "Invalid data format | Please only use hex values between 00 and FF. | OK";
const QString kInvalidReportID = "Invalid report id number format | Please "
                                 "only use hex values between 00 and FF. | OK";

// Counts the paints of a widget made while a window waits for its device.
struct PaintCounter : QObject {
  PaintCounter(QWidget *widget,
               const explorer::PinworthWindowController *window)
      : window_(window) {
    widget->installEventFilter(this);
  }
  bool eventFilter(QObject *, QEvent *event) override {
    if (event->type() == QEvent::Paint && window_->waitsForDevice())
      ++whileWaiting;
    return false;
  }
  int whileWaiting = 0;

private:
  const explorer::PinworthWindowController *window_;
};

} // namespace

class WritingTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;
  hid::sim::DeviceID deviceA = 0;

  const Wire &received(int interfaceNumber) {
    return fixture.backend().received(deviceA, interfaceNumber);
  }

private slots:
  void initTestCase() { fixture.setUp(); }
  void init() { deviceA = fixture.startWithPinworthA(); }
  void cleanup() { fixture.cleanup(); }

  void noDeviceIsReportedBeforeAnyField() {
    fixture.backend().detachAll();
    QTRY_COMPARE(fixture.interfacePopup()->count(), 0);
    fixture.setFormTexts("zz", {"zz", "100"});
    AlertAnswerer answerer;
    fixture.click("writeButton");
    QCOMPARE(answerer.shown(), QStringList{"Pinworth not found | There is no "
                                           "Pinworth device attached to you "
                                           "mac. | OK"});
    QCOMPARE(answerer.lastParent(), fixture.window());
    QCOMPARE(fixture.records().size(), 0);
  }

  // The rule itself is the scanner's; these rows check the field is read.
  void fieldsFollowTheHexRule_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("byte"); // -1: rejected
    QTest::newRow("blanks, 0x prefix, rest not examined") << " 0x1F zz" << 0x1f;
    QTest::newRow("above FF") << "100" << -1;
    QTest::newRow("dashes of a disabled field") << "--" << -1;
  }

  void fieldsFollowTheHexRule() {
    QFETCH(QString, text);
    QFETCH(int, byte);
    fixture.setFormTexts("", {"00", "00", "00", text});
    AlertAnswerer answerer;
    fixture.click("writeButton");
    QCOMPARE(answerer.shown(),
             byte < 0 ? QStringList{kInvalidData} : QStringList());
    QCOMPARE(received(0), byte < 0 ? Wire() : Wire({{0, 0, 0, uint8_t(byte)}}));
    QCOMPARE(fixture.log()->reportCount(), byte < 0 ? 0 : 1);
    QCOMPARE(fixture.byteField(3)->text(), text);
  }

  // Each write ends at its first bad field with one alert, so a form with bad
  // data and a bad report ID takes three writes to mend.
  void dataFieldsComeBeforeTheReportIDOneAlertAWrite() {
    fixture.chooseInterface(1);
    fixture.setFormTexts("zz", {"01", "xx", "03", "1FF", "05", "06", "07"});
    AlertAnswerer answerer;
    fixture.click("writeButton");
    fixture.setFormTexts("zz", {"01", "02", "03", "04"});
    fixture.click("writeButton");
    QCOMPARE(answerer.shown(), QStringList({kInvalidData, kInvalidReportID}));
    QCOMPARE(received(1), Wire());
    fixture.reportIDField()->setText("5");
    fixture.click("writeButton");
    QCOMPARE(answerer.shown().size(), 2);
    QCOMPARE(received(1), Wire({{5, 1, 2, 3, 4, 5, 6, 7}}));
  }

  void sendsTheLayoutsReport_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<Wire>("wire");
    QTest::addColumn<QString>("row");
    QTest::newRow("short: four bytes, report ID field ignored")
        << 0 << Wire({{1, 2, 3, 4}}) << "W||0x01|0x02|0x03|0x04|||";
    QTest::newRow("long: report ID, then seven bytes")
        << 1 << Wire({{4, 1, 2, 3, 4, 5, 6, 7}})
        << "W|0x04|0x01|0x02|0x03|0x04|0x05|0x06|0x07";
  }

  void sendsTheLayoutsReport() {
    QFETCH(int, position);
    QFETCH(Wire, wire);
    QFETCH(QString, row);
    fixture.chooseInterface(position);
    fixture.setFormTexts("04", {"1", "02", "0x3", "04", "05", "06", "07"});
    fixture.click("writeButton");
    QCOMPARE(received(position), wire);
    QCOMPARE(received(1 - position), Wire());
    fixture.flushLog();
    QCOMPARE(fixture.rowText(0), row);
  }

  // The alert says why under the message.
  void failedTransferShowsErrorAndLogsNothing_data() {
    QTest::addColumn<Faults>("faults");
    QTest::addColumn<QString>("reason");
    QTest::newRow("report refused")
        << Faults([](auto &f) { f.nextWriteStatus = hid::kErrorIO; })
        << "input/output error";
    QTest::newRow("device stalls")
        << Faults([](auto &f) { f.stalled = true; })
        << "the device did not answer within 50 ms; it may have received the "
           "report";
    QTest::newRow("interface cannot be opened")
        << Faults([](auto &f) { f.openStatus = hid::kErrorNotPermitted; })
        << "permission denied: install the Pinworth udev rule (see README) "
           "and plug the device in again";
  }

  void failedTransferShowsErrorAndLogsNothing() {
    QFETCH(Faults, faults);
    QFETCH(QString, reason);
    faults(fixture.backend().faults(deviceA, 0));
    fixture.setFormTexts("", {"01", "02", "03", "04"});
    AlertAnswerer answerer;
    fixture.click("writeButton");
    QCOMPARE(answerer.shown(),
             QStringList{ExplorerFixture::transferAlert("write to", reason)});
    QCOMPARE(received(0), Wire());
    QCOMPARE(fixture.log()->reportCount(), 0);
  }

  // While the device does not answer, the window goes on painting and a
  // second Write is refused with its reason; the answer, 50 ms later, is the
  // alert, and nothing is logged.
  void aDeviceThatDoesNotAnswerHoldsNothing() {
    fixture.backend().faults(deviceA, 0).stalled = true;
    fixture.setFormTexts("", {"01", "02", "03", "04"});
    QWidget *viewport = fixture.logTable()->viewport();
    PaintCounter paints(viewport, fixture.controller());
    AlertAnswerer answerer;
    QPushButton *write = fixture.widget("writeButton");
    QTest::mouseClick(write, Qt::LeftButton);
    QVERIFY(fixture.controller()->waitsForDevice());
    QTest::mouseClick(write, Qt::LeftButton);
    QCOMPARE(fixture.widget<QLabel>("messageText")->text(),
             "Not sent: PinworthA (SN 1000) Interface 0 has not yet taken "
             "the report written before.");
    QTimer repaint;
    QObject::connect(&repaint, &QTimer::timeout, viewport,
                     qOverload<>(&QWidget::update));
    repaint.start(2);
    fixture.waitForDevice(fixture.controller());
    QVERIFY2(paints.whileWaiting >= 3,
             qPrintable(QString::number(paints.whileWaiting)));
    QCOMPARE(answerer.shown().size(), 1);
    QCOMPARE(fixture.log()->reportCount(), 0);
  }
};

QTEST_MAIN(WritingTest)
#include "tst_writing.moc"
