// The report log: records, the table's cells, loading a logged report into
// the form by double-click, clearing, and the add-macro button following the
// table's selection.
#include "tests/app/ExplorerFixture.h"

#include <QTest>

class ReportLogTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;

  void append(bool isOutput, int reportID, const QByteArray &data) {
    fixture.controller()->addLogEntryWithDirection(
        isOutput ? kReportDirectionOut : kReportDirectionIn, reportID,
        int(data.size()), reinterpret_cast<const uint8_t *>(data.constData()));
  }

private slots:
  void initTestCase() { fixture.setUp(); }
  void init() { fixture.startWithPinworthA(); }
  void cleanup() { fixture.cleanup(); }

  // The caller's buffer may change as soon as a record is built or logged;
  // a record taken from the log outlives the log's rows.
  void recordsHoldTheirOwnBytes() {
    uint8_t bytes[7] = {3, 0x38, 1, 0x0f, 0, 0, 0};
    const ReportRecord record = PinworthWindowController::logEntryWithDirection(
        kReportDirectionOut, 5, 7, bytes, "Init display");
    fixture.controller()->addLogEntryWithDirection(kReportDirectionIn,
                                                   kNoReportID, 4, bytes);
    std::fill(std::begin(bytes), std::end(bytes), 0xee);
    QCOMPARE(record,
             (ReportRecord{"W", 5, QByteArray::fromHex("0338010f000000"),
                           "Init display"}));
    const QList<ReportRecord> logged = fixture.records();
    fixture.click("clearButton"); // new rows take the place of the old
    append(false, kNoReportID, QByteArray(4, 0x11));
    QCOMPARE(logged,
             QList<ReportRecord>(
                 {{"R", kNoReportID, QByteArray::fromHex("0338010f"), ""}}));
  }

  void showsEachCell_data() {
    QTest::addColumn<bool>("isOutput");
    QTest::addColumn<int>("reportID");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("cells");
    QTest::newRow("report ID, lower case hex")
        << true << 12 << QByteArray::fromHex("abff800ac0de7f")
        << "W|0x0c|0xab|0xff|0x80|0x0a|0xc0|0xde|0x7f";
    QTest::newRow("report ID 255, short data")
        << false << 255 << QByteArray::fromHex("8441")
        << "R|0xff|0x84|0x41|||||";
    QTest::newRow("report ID beyond a byte, data beyond the columns")
        << true << 0x12c << QByteArray::fromHex("010203040506070809")
        << "W|0x12c|0x01|0x02|0x03|0x04|0x05|0x06|0x07";
  }

  void showsEachCell() {
    QFETCH(bool, isOutput);
    QFETCH(int, reportID);
    QFETCH(QByteArray, data);
    QFETCH(QString, cells);
    append(isOutput, reportID, data);
    fixture.flushLog();
    QCOMPARE(fixture.rowText(0), cells);
  }

  void doubleClickLoadsWrittenReports_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("isOutput");
    QTest::addColumn<int>("reportID");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("form"); // "<report ID> <byte 0> ... <byte 6>"
    QTest::newRow("written with report ID, short layout")
        << 0 << true << 5 << QByteArray::fromHex("0338010f0000ab")
        << "05 03 38 01 0f 00 00 ab";
    QTest::newRow("written without report ID")
        << 1 << true << kNoReportID << QByteArray::fromHex("a1b2c3d4")
        << "09 a1 b2 c3 d4 55 66 77";
    QTest::newRow("read") << 1 << false << 5
                          << QByteArray::fromHex("01020304050607")
                          << "09 11 22 33 44 55 66 77";
  }

  // Loading touches texts only: the layout, its enabling and the report size
  // stay. A read report loads nothing.
  void doubleClickLoadsWrittenReports() {
    QFETCH(int, position);
    QFETCH(bool, isOutput);
    QFETCH(int, reportID);
    QFETCH(QByteArray, data);
    QFETCH(QString, form);
    fixture.chooseInterface(position);
    fixture.setFormTexts("09", {"11", "22", "33", "44", "55", "66", "77"});
    const QList<bool> enabled = fixture.byteEnabled();
    append(isOutput, reportID, data);
    fixture.flushLog();
    fixture.doubleClickLogRow(0);
    QCOMPARE(fixture.form(), form);
    QCOMPARE(fixture.byteEnabled(), enabled);
    QCOMPARE(fixture.controller()->reportForm().reportSize(), position ? 7 : 4);
  }

  // The button follows the selection; Clear Log leaves none, also when rows
  // not yet shown were logged, and the double action then loads nothing.
  void selectionAndClear() {
    QVERIFY(!fixture.addMacroEnabled());
    for (int i = 0; i < 200; ++i)
      append(i % 2, kNoReportID, QByteArray(4, char(i)));
    fixture.flushLog();
    fixture.clickLogRow(3);
    QVERIFY(fixture.addMacroEnabled());
    append(true, kNoReportID, QByteArray(4, 9));
    fixture.flushLog();
    QCOMPARE(fixture.logTable()->currentIndex().row(), 3); // kept
    fixture.clickLogRow(3, Qt::ControlModifier);
    QVERIFY(!fixture.addMacroEnabled());

    fixture.clickLogRow(2);
    append(false, kNoReportID, QByteArray(4, 7));
    fixture.setFormTexts("0c", {"0a", "0b"});
    fixture.click("clearButton");
    QCOMPARE(fixture.log()->reportCount(), 0);
    QCOMPARE(fixture.logTable()->model()->rowCount(), 0);
    QVERIFY(!fixture.logRowSelected());
    QVERIFY(!fixture.addMacroEnabled());
    fixture.controller()->logTableDoubleClicked();
    QCOMPARE(fixture.form().left(8), "0c 0a 0b");
    append(false, kNoReportID, QByteArray(4, 8));
    fixture.flushLog();
    QCOMPARE(fixture.rowText(0), "R||0x08|0x08|0x08|0x08|||");
  }
};

QTEST_MAIN(ReportLogTest)
#include "tst_report_log.moc"
