// Writing the report form: the device check, the hexadecimal rule of the
// fields, the order and texts of the alerts, the bytes on the device's wire
// for both layouts, and the log row of a report sent.
#include "ExplorerFixture.h"

#include <QTest>

#include <vector>

using Wire = std::vector<std::vector<uint8_t>>;

namespace {

const QString kInvalidData =
    "Invalid data format | Please only use hex values between 00 and FF. | OK";
const QString kInvalidReportID = "Invalid report id number format | Please "
                                 "only use hex values between 00 and FF. | OK";
const QString kWriteError = "Pinworth Error | An error occured while trying to "
                            "write to the selected Pinworth device. | OK";
const QString kNotFound = "Pinworth not found | There is no Pinworth device "
                          "attached to you mac. | OK";

} // namespace

class WritingTest : public QObject {
  Q_OBJECT

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
    QCOMPARE(answerer.shown(), QStringList{kNotFound});
    QCOMPARE(answerer.lastParent(), fixture.window());
    QCOMPARE(fixture.log()->reportCount(), 0);
  }

  void fieldsFollowTheHexRule_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("byte"); // -1: rejected

    QTest::newRow("one digit") << "a" << 0x0a;
    QTest::newRow("blanks, line ends, 0x prefix") << "\t\n 0x1F" << 0x1f;
    QTest::newRow("0X prefix, leading zeros") << "0X00ff" << 0xff;
    QTest::newRow("stops at a non-digit") << "7g zz" << 0x07;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("starts with a non-digit") << "zz" << -1;
    QTest::newRow("sign") << "-1" << -1;
    QTest::newRow("above FF") << "100" << -1;
    QTest::newRow("prefix without digits") << "0x" << -1;
    QTest::newRow("dashes of a disabled field") << "--" << -1;
  }

  void fieldsFollowTheHexRule() {
    QFETCH(QString, text);
    QFETCH(int, byte);
    fixture.setFormTexts("", {"00", "00", "00", text});
    AlertAnswerer answerer;
    fixture.click("writeButton");
    if (byte < 0) {
      QCOMPARE(answerer.shown(), QStringList{kInvalidData});
      QCOMPARE(received(0), Wire());
      QCOMPARE(fixture.log()->reportCount(), 0);
    } else {
      QCOMPARE(answerer.shown(), QStringList());
      QCOMPARE(received(0), Wire({{0, 0, 0, uint8_t(byte)}}));
      QCOMPARE(fixture.log()->reportCount(), 1);
    }
    QCOMPARE(fixture.byteField(3)->text(), text);
  }

  // Each write ends at its first bad field with one alert, so a form with bad
  // data and a bad report ID takes three writes to mend.
  void dataFieldsComeBeforeTheReportIDOneAlertAWrite() {
    fixture.chooseInterface(1);
    fixture.setFormTexts("zz", {"01", "xx", "03", "1FF", "05", "06", "07"});
    AlertAnswerer answerer;
    fixture.click("writeButton");
    QCOMPARE(answerer.shown(), QStringList{kInvalidData});

    fixture.setFormTexts("zz", {"01", "02", "03", "04"});
    fixture.click("writeButton");
    QCOMPARE(answerer.shown(), QStringList({kInvalidData, kInvalidReportID}));
    QCOMPARE(received(1), Wire());
    QCOMPARE(fixture.log()->reportCount(), 0);

    fixture.reportIDField()->setText("5");
    fixture.click("writeButton");
    QCOMPARE(answerer.alerts().size(), 2);
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
    fixture.reportIDField()->setText("04");
    fixture.typeBytes({"1", "02", "0x3", "04", "05", "06", "07"});
    AlertAnswerer answerer;
    fixture.click("writeButton");
    QCOMPARE(answerer.shown(), QStringList());
    QCOMPARE(received(position), wire);
    QCOMPARE(received(1 - position), Wire());
    fixture.flushLog();
    QCOMPARE(fixture.log()->rowCount(), 1);
    QCOMPARE(fixture.rowText(0), row);
  }

  void failedTransferShowsErrorAndLogsNothing_data() {
    QTest::addColumn<int>("fault");
    QTest::newRow("report refused") << 0;
    QTest::newRow("device stalls") << 1;
    QTest::newRow("interface cannot be opened") << 2;
  }

  void failedTransferShowsErrorAndLogsNothing() {
    QFETCH(int, fault);
    hid::sim::InterfaceFaults &faults = fixture.backend().faults(deviceA, 0);
    if (fault == 0)
      faults.nextWriteStatus = hid::kErrorIO;
    else if (fault == 1)
      faults.stalled = true;
    else
      faults.openStatus = hid::kErrorExclusiveAccess;
    fixture.setFormTexts("", {"01", "02", "03", "04"});

    AlertAnswerer answerer;
    fixture.click("writeButton");
    QCOMPARE(answerer.shown(), QStringList{kWriteError});
    QCOMPARE(received(0), Wire());
    QCOMPARE(fixture.log()->reportCount(), 0);

    faults = hid::sim::InterfaceFaults{};
    fixture.click("writeButton");
    QCOMPARE(answerer.alerts().size(), 1);
    QCOMPARE(received(0), Wire({{1, 2, 3, 4}}));
    QCOMPARE(fixture.log()->reportCount(), 1);
  }

private:
  const Wire &received(int interfaceNumber) {
    return fixture.backend().received(deviceA, interfaceNumber);
  }

  ExplorerFixture fixture;
  hid::sim::DeviceID deviceA = 0;
};

QTEST_MAIN(WritingTest)
#include "tst_writing.moc"
