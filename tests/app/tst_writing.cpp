// Writing the report form: the device check, the hexadecimal rule of the
// fields, the order and texts of the alerts, the bytes on the device's wire
// for both layouts, and the log row of a report sent.
#include "ExplorerFixture.h"
#include "ModalTestSupport.h"

#include <QTest>

#include <memory>
#include <vector>

using hid::sim::DeviceID;
using hid::sim::Model;
using Bytes = std::vector<uint8_t>;

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
  void init();
  void cleanup();

  void noDeviceIsReportedBeforeAnyField();
  void alertIsAnApplicationModalBoxOfTheWindow();
  void fieldsFollowTheHexRule_data();
  void fieldsFollowTheHexRule();
  void firstBadFieldEndsTheWrite();
  void dataFieldsComeBeforeTheReportID();
  void shortLayoutSendsFourBytesWithoutReportID();
  void longLayoutSendsReportIDThenSevenBytes();
  void failedTransferShowsErrorAndLogsNothing_data();
  void failedTransferShowsErrorAndLogsNothing();
  void layoutIsNotRecomputedByTheWrite();

private:
  const std::vector<Bytes> &received(int interfaceNumber) {
    return fixture.backend().received(deviceA, interfaceNumber);
  }
  void setByteTexts(const QStringList &texts);

  ExplorerFixture fixture;
  DeviceID deviceA = 0;
  std::unique_ptr<ModalWatchdog> watchdog;
};

void WritingTest::init() {
  watchdog = std::make_unique<ModalWatchdog>();
  deviceA = fixture.backend().attach(Model::PinworthA, "1000");
  fixture.loadAndWake();
}

void WritingTest::cleanup() {
  QVERIFY(!watchdog->fired());
  fixture.close();
  fixture.detachAllDevices();
}

void WritingTest::setByteTexts(const QStringList &texts) {
  for (int i = 0; i < texts.size(); ++i)
    fixture.byteField(i)->setText(texts[i]);
}

void WritingTest::noDeviceIsReportedBeforeAnyField() {
  fixture.detachAllDevices();
  QCOMPARE(fixture.interfacePopup()->count(), 0);
  fixture.typeBytes({"zz", "100"});
  fixture.reportIDField()->setText("zz");

  AlertAnswerer answerer;
  fixture.click("writeButton");
  QCOMPARE(answerer.shown(), QStringList{kNotFound});
  QCOMPARE(fixture.log()->count(), 0);
  QCOMPARE(fixture.byteTexts().mid(0, 2), QStringList({"zz", "100"}));
}

void WritingTest::alertIsAnApplicationModalBoxOfTheWindow() {
  fixture.typeBytes({"zz"});
  AlertAnswerer answerer;
  fixture.click("writeButton");
  QCOMPARE(answerer.shown(), QStringList{kInvalidData});
  QCOMPARE(answerer.lastParent(), fixture.window());
  QCOMPARE(answerer.lastModality(), Qt::ApplicationModal);
}

void WritingTest::fieldsFollowTheHexRule_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("byte"); // -1: rejected

  QTest::newRow("one letter") << "a" << 0x0a;
  QTest::newRow("blank and 0x prefix") << " 0x1F" << 0x1f;
  QTest::newRow("rest not examined") << "1F zz" << 0x1f;
  QTest::newRow("tabs and line ends skipped") << "\t\n\r 7f" << 0x7f;
  QTest::newRow("0X prefix, mixed case") << "0XfF" << 0xff;
  QTest::newRow("two zeros") << "00" << 0x00;
  QTest::newRow("leading zeros") << "000000ff" << 0xff;
  QTest::newRow("stops at a non-digit") << "7g" << 0x07;
  QTest::newRow("empty") << "" << -1;
  QTest::newRow("blanks only") << "   " << -1;
  QTest::newRow("starts with a non-digit") << "zz" << -1;
  QTest::newRow("sign") << "-1" << -1;
  QTest::newRow("plus sign") << "+1" << -1;
  QTest::newRow("three digits") << "100" << -1;
  QTest::newRow("three significant digits") << "1FF" << -1;
  QTest::newRow("prefix without digits") << "0x" << -1;
  QTest::newRow("too long for 32 bits") << "100000000ff" << -1;
  QTest::newRow("dashes of a disabled field") << "--" << -1;
}

void WritingTest::fieldsFollowTheHexRule() {
  QFETCH(QString, text);
  QFETCH(int, byte);
  setByteTexts({text, "00", "00", "00"});

  AlertAnswerer answerer;
  fixture.click("writeButton");
  if (byte < 0) {
    QCOMPARE(answerer.shown(), QStringList{kInvalidData});
    QVERIFY(received(0).empty());
    QCOMPARE(fixture.log()->count(), 0);
  } else {
    QCOMPARE(answerer.shown(), QStringList());
    QCOMPARE(received(0), std::vector<Bytes>({{uint8_t(byte), 0, 0, 0}}));
    QCOMPARE(fixture.log()->count(), 1);
  }
  QCOMPARE(fixture.byteField(0)->text(), text);
}

void WritingTest::firstBadFieldEndsTheWrite() {
  setByteTexts({"01", "xx", "yy", "04"});
  AlertAnswerer answerer;
  fixture.click("writeButton");
  QCOMPARE(answerer.shown(), QStringList{kInvalidData});
  QVERIFY(received(0).empty());
  QCOMPARE(fixture.byteTexts().mid(0, 4),
           QStringList({"01", "xx", "yy", "04"}));

  setByteTexts({"01", "02", "03", "04"});
  fixture.click("writeButton");
  QCOMPARE(answerer.alerts().size(), 1);
  QCOMPARE(received(0), std::vector<Bytes>({{1, 2, 3, 4}}));
}

void WritingTest::dataFieldsComeBeforeTheReportID() {
  fixture.chooseInterface(1);
  fixture.reportIDField()->setText("zz");
  setByteTexts({"01", "02", "03", "1FF", "05", "06", "07"});
  AlertAnswerer answerer;
  fixture.click("writeButton");
  QCOMPARE(answerer.shown(), QStringList{kInvalidData});

  fixture.byteField(3)->setText("04");
  fixture.click("writeButton");
  QCOMPARE(answerer.shown(), QStringList({kInvalidData, kInvalidReportID}));
  QVERIFY(received(1).empty());
  QCOMPARE(fixture.log()->count(), 0);
  QCOMPARE(fixture.reportIDField()->text(), QStringLiteral("zz"));

  fixture.reportIDField()->setText("100");
  fixture.click("writeButton");
  QCOMPARE(answerer.shown(),
           QStringList({kInvalidData, kInvalidReportID, kInvalidReportID}));
  QVERIFY(received(1).empty());

  fixture.reportIDField()->setText("5");
  fixture.click("writeButton");
  QCOMPARE(answerer.alerts().size(), 3);
  QCOMPARE(received(1), std::vector<Bytes>({{5, 1, 2, 3, 4, 5, 6, 7}}));
}

void WritingTest::shortLayoutSendsFourBytesWithoutReportID() {
  QCOMPARE(fixture.controller()->currentReportSize(), 4);
  fixture.reportIDField()->setText("zz");
  fixture.typeBytes({"1", "02", "0x3", "ab"});
  AlertAnswerer answerer;
  fixture.click("writeButton");
  QCOMPARE(answerer.shown(), QStringList());
  QCOMPARE(received(0), std::vector<Bytes>({{1, 2, 3, 0xab}}));
  QVERIFY(received(1).empty());
  QCOMPARE(fixture.log()->count(), 1);
  QCOMPARE(fixture.log()->record(0),
           (ReportRecord{"W", -1, QByteArray::fromHex("010203ab"), ""}));
  fixture.flushLog();
  QCOMPARE(fixture.rowTexts(0),
           QStringList({"W", "", "0x01", "0x02", "0x03", "0xab", "", "", ""}));
}

void WritingTest::longLayoutSendsReportIDThenSevenBytes() {
  fixture.chooseInterface(1);
  QCOMPARE(fixture.controller()->currentReportSize(), 7);
  fixture.reportIDField()->setText("04");
  fixture.typeBytes({"01", "02", "03", "04", "05", "06", "07"});
  AlertAnswerer answerer;
  fixture.click("writeButton");
  QCOMPARE(answerer.shown(), QStringList());
  QCOMPARE(received(1), std::vector<Bytes>({{4, 1, 2, 3, 4, 5, 6, 7}}));
  QVERIFY(received(0).empty());
  QCOMPARE(fixture.log()->count(), 1);
  QCOMPARE(fixture.log()->record(0),
           (ReportRecord{"W", 4, QByteArray::fromHex("01020304050607"), ""}));
  fixture.flushLog();
  QCOMPARE(fixture.rowTexts(0),
           QStringList({"W", "0x04", "0x01", "0x02", "0x03", "0x04", "0x05",
                        "0x06", "0x07"}));
}

void WritingTest::failedTransferShowsErrorAndLogsNothing_data() {
  QTest::addColumn<int>("fault");
  QTest::newRow("report refused") << 0;
  QTest::newRow("device stalls") << 1;
  QTest::newRow("interface cannot be opened") << 2;
}

void WritingTest::failedTransferShowsErrorAndLogsNothing() {
  QFETCH(int, fault);
  hid::sim::InterfaceFaults &faults = fixture.backend().faults(deviceA, 0);
  if (fault == 0)
    faults.nextWriteStatus = hid::kErrorIO;
  else if (fault == 1)
    faults.stalled = true;
  else
    faults.openStatus = hid::kErrorExclusiveAccess;
  setByteTexts({"01", "02", "03", "04"});

  AlertAnswerer answerer;
  fixture.click("writeButton");
  QCOMPARE(answerer.shown(), QStringList{kWriteError});
  QVERIFY(received(0).empty());
  QCOMPARE(fixture.log()->count(), 0);
  QCOMPARE(fixture.byteTexts().mid(0, 4),
           QStringList({"01", "02", "03", "04"}));

  faults = hid::sim::InterfaceFaults{};
  fixture.click("writeButton");
  QCOMPARE(answerer.alerts().size(), 1);
  QCOMPARE(received(0), std::vector<Bytes>({{1, 2, 3, 4}}));
  QCOMPARE(fixture.log()->count(), 1);
}

// A device change rebuilds the menu, which then shows position 0, while the
// form keeps the long layout until the user picks an interface.
void WritingTest::layoutIsNotRecomputedByTheWrite() {
  fixture.chooseInterface(1);
  fixture.reportIDField()->setText("09");
  setByteTexts({"01", "02", "03", "04", "05", "06", "07"});
  fixture.backend().attach(Model::PinworthB, "2000");
  QTRY_COMPARE(fixture.interfacePopup()->count(), 4);
  QCOMPARE(fixture.interfacePopup()->currentIndex(), 0);
  QCOMPARE(fixture.controller()->currentReportSize(), 7);

  AlertAnswerer answerer;
  fixture.click("writeButton");
  QCOMPARE(answerer.shown(), QStringList());
  QCOMPARE(received(0), std::vector<Bytes>({{9, 1, 2, 3, 4, 5, 6, 7}}));
  QCOMPARE(fixture.log()->record(0).reportID, 9);
}

QTEST_MAIN(WritingTest)
#include "tst_writing.moc"
