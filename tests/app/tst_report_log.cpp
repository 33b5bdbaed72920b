// The report log: building records, the table's cells, the announcement of
// appended rows, loading a logged report into the form by double-click,
// clearing, and the add-macro button following the table's selection.
#include "ExplorerFixture.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <array>

using hid::sim::Model;

namespace {

// The texts of a log row's cells, keyed by column identifier in table order.
QStringList rowTexts(const LogTableModel *log, int row) {
  QStringList texts;
  for (int column = 0; column < log->columnCount(); ++column)
    texts << log->data(log->index(row, column)).toString();
  return texts;
}

} // namespace

class ReportLogTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() { fixture.setUp(); }
  void init() {
    fixture.backend().attach(Model::PinworthA, "1000");
    fixture.loadAndWake();
  }
  void cleanup() {
    fixture.close();
    fixture.detachAllDevices();
  }

  void buildsRecordsWithTheirOwnBytes();
  void namesColumnsByIdentifier();
  void showsReportWithoutReportID();
  void showsReportWithReportID();
  void showsHexInLowerCase();
  void showsReportIDsBeyondOneByte();
  void showsNothingPastTheData();
  void announcesOneTurnOfAppendsTogether();
  void startsEmptyAndIgnoresDoubleClick();
  void doubleClickLoadsWrittenReport();
  void doubleClickLoadsReportIDInShortLayout();
  void doubleClickKeepsFieldsForReportWithoutID();
  void doubleClickIgnoresReadReport();
  void addMacroButtonFollowsSelection();
  void clearLeavesNoRowSelected();
  void appendScrollsAndKeepsSelection();

private:
  void append(const QString &direction, int reportID,
              std::initializer_list<uint8_t> bytes);
  ExplorerFixture fixture;
};

void ReportLogTest::append(const QString &direction, int reportID,
                           std::initializer_list<uint8_t> bytes) {
  fixture.controller()->addLogEntryWithDirection(
      direction, reportID, static_cast<int>(bytes.size()), bytes.begin());
}

void ReportLogTest::buildsRecordsWithTheirOwnBytes() {
  std::array<uint8_t, 7> bytes = {3, 0x38, 1, 0x0f, 0, 0, 0};
  const ReportRecord record = PinworthWindowController::logEntryWithDirection(
      kReportDirectionOut, 5, 7, bytes.data(), "Init display");
  bytes.fill(0xee);
  QCOMPARE(record.direction, QStringLiteral("W"));
  QCOMPARE(record.reportID, 5);
  QCOMPARE(record.data, QByteArray::fromHex("0338010f000000"));
  QCOMPARE(record.name, QStringLiteral("Init display"));

  const ReportRecord shortRecord =
      PinworthWindowController::logEntryWithDirection(
          kReportDirectionIn, kNoReportID, 4, bytes.data(), QString());
  QCOMPARE(shortRecord.direction, QStringLiteral("R"));
  QCOMPARE(shortRecord.reportID, -1);
  QCOMPARE(shortRecord.data, QByteArray(4, char(0xee)));
  QVERIFY(shortRecord.name.isEmpty());

  std::array<uint8_t, 4> logged = {1, 2, 3, 4};
  fixture.controller()->addLogEntryWithDirection(kReportDirectionOut,
                                                 kNoReportID, 4, logged.data());
  logged.fill(0);
  QCOMPARE(fixture.log()->count(), 1);
  QCOMPARE(fixture.log()->record(0),
           (ReportRecord{"W", -1, QByteArray::fromHex("01020304"), ""}));
}

void ReportLogTest::namesColumnsByIdentifier() {
  const LogTableModel *log = fixture.log();
  QStringList identifiers;
  for (int column = 0; column < log->columnCount(); ++column)
    identifiers << log->headerData(column, Qt::Horizontal,
                                   LogTableModel::kColumnIdentifierRole)
                       .toString();
  QCOMPARE(identifiers,
           QStringList({"R/W", "Id", "0", "1", "2", "3", "4", "5", "6"}));
}

void ReportLogTest::showsReportWithoutReportID() {
  append(kReportDirectionIn, kNoReportID, {1, 2, 3, 4});
  fixture.flushLog();
  QCOMPARE(fixture.log()->rowCount(), 1);
  QCOMPARE(rowTexts(fixture.log(), 0),
           QStringList({"R", "", "0x01", "0x02", "0x03", "0x04", "", "", ""}));
}

void ReportLogTest::showsReportWithReportID() {
  append(kReportDirectionOut, 5, {3, 0x38, 1, 0x0f, 0, 0, 0});
  fixture.flushLog();
  QCOMPARE(rowTexts(fixture.log(), 0),
           QStringList({"W", "0x05", "0x03", "0x38", "0x01", "0x0f", "0x00",
                        "0x00", "0x00"}));
}

void ReportLogTest::showsHexInLowerCase() {
  append(kReportDirectionOut, 12, {0xab, 0xff, 0x80, 0x0a, 0xc0, 0xde, 0x7f});
  append(kReportDirectionIn, 255, {0, 1, 2, 3, 4, 5, 6});
  fixture.flushLog();
  QCOMPARE(rowTexts(fixture.log(), 0),
           QStringList({"W", "0x0c", "0xab", "0xff", "0x80", "0x0a", "0xc0",
                        "0xde", "0x7f"}));
  QCOMPARE(rowTexts(fixture.log(), 1).mid(0, 3),
           QStringList({"R", "0xff", "0x00"}));
  for (int byte = 0; byte < 256; ++byte)
    QCOMPARE(LogTableModel::hexByteText(static_cast<uint8_t>(byte)),
             QString::asprintf("0x%02x", byte));
}

void ReportLogTest::showsReportIDsBeyondOneByte() {
  append(kReportDirectionOut, 0x12c, {1, 2, 3, 4, 5, 6, 7});
  append(kReportDirectionOut, 0, {1, 2, 3, 4, 5, 6, 7});
  fixture.flushLog();
  QCOMPARE(rowTexts(fixture.log(), 0)[1], QStringLiteral("0x12c"));
  QCOMPARE(rowTexts(fixture.log(), 1)[1], QStringLiteral("0x00"));
}

// Records shorter than their columns show empty cells; longer data keeps
// the bytes the table has columns for.
void ReportLogTest::showsNothingPastTheData() {
  append(kReportDirectionIn, 6, {0x84, 0x41});
  append(kReportDirectionIn, kNoReportID, {9, 8});
  append(kReportDirectionIn, 6, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  fixture.flushLog();
  QCOMPARE(rowTexts(fixture.log(), 0),
           QStringList({"R", "0x06", "0x84", "0x41", "", "", "", "", ""}));
  QCOMPARE(rowTexts(fixture.log(), 1),
           QStringList({"R", "", "0x09", "0x08", "", "", "", "", ""}));
  QCOMPARE(rowTexts(fixture.log(), 2).last(), QStringLiteral("0x07"));
  QCOMPARE(fixture.log()->record(2).data,
           QByteArray::fromHex("01020304050607"));
}

void ReportLogTest::announcesOneTurnOfAppendsTogether() {
  QSignalSpy inserted(fixture.log(), &LogTableModel::rowsInserted);
  append(kReportDirectionIn, kNoReportID, {1, 0, 0, 0});
  append(kReportDirectionIn, kNoReportID, {2, 0, 0, 0});
  append(kReportDirectionIn, kNoReportID, {3, 0, 0, 0});
  QCOMPARE(fixture.log()->count(), 3);
  QCOMPARE(fixture.log()->rowCount(), 0);
  QCOMPARE(inserted.count(), 0);

  fixture.flushLog();
  QCOMPARE(inserted.count(), 1);
  QCOMPARE(inserted[0][1].toInt(), 0);
  QCOMPARE(inserted[0][2].toInt(), 2);
  QCOMPARE(fixture.log()->rowCount(), 3);
  QCOMPARE(fixture.logTable()->model()->rowCount(), 3);

  append(kReportDirectionIn, kNoReportID, {4, 0, 0, 0});
  fixture.flushLog();
  QCOMPARE(inserted.count(), 2);
  QCOMPARE(inserted[1][1].toInt(), 3);
  QCOMPARE(inserted[1][2].toInt(), 3);
  QCOMPARE(rowTexts(fixture.log(), 3)[2], QStringLiteral("0x04"));
}

void ReportLogTest::startsEmptyAndIgnoresDoubleClick() {
  QCOMPARE(fixture.log()->rowCount(), 0);
  QVERIFY(!fixture.addMacroButton()->isEnabled());
  const QStringList before = fixture.byteTexts();
  QTest::mouseDClick(fixture.logTable()->viewport(), Qt::LeftButton, {},
                     QPoint(20, 10));
  fixture.controller()->logTableDoubleClicked();
  QCOMPARE(fixture.byteTexts(), before);
  QVERIFY(!fixture.addMacroButton()->isEnabled());
}

void ReportLogTest::doubleClickLoadsWrittenReport() {
  fixture.chooseInterface(1);
  append(kReportDirectionOut, 5, {3, 0x38, 1, 0x0f, 0, 0, 0xab});
  fixture.flushLog();
  fixture.doubleClickLogRow(0);
  QCOMPARE(fixture.reportIDField()->text(), QStringLiteral("05"));
  QCOMPARE(fixture.byteTexts(),
           QStringList({"03", "38", "01", "0f", "00", "00", "ab"}));
}

// Loading touches texts only: the short layout, its enabling and the report
// size stay, while all seven fields and the report ID take the record.
void ReportLogTest::doubleClickLoadsReportIDInShortLayout() {
  append(kReportDirectionOut, 12, {1, 0, 0, 0, 0, 0, 0});
  fixture.flushLog();
  fixture.doubleClickLogRow(0);
  QCOMPARE(fixture.reportIDField()->text(), QStringLiteral("0c"));
  QCOMPARE(fixture.byteTexts(),
           QStringList({"01", "00", "00", "00", "00", "00", "00"}));
  QCOMPARE(fixture.byteEnabled(),
           QList<bool>({true, true, true, true, false, false, false}));
  QVERIFY(!fixture.reportIDField()->isEnabled());
  QCOMPARE(fixture.controller()->currentReportSize(), 4);
}

void ReportLogTest::doubleClickKeepsFieldsForReportWithoutID() {
  fixture.chooseInterface(1);
  fixture.typeBytes({"11", "22", "33", "44", "55", "66", "77"});
  fixture.reportIDField()->setText("09");
  append(kReportDirectionOut, kNoReportID, {0xa1, 0xb2, 0xc3, 0xd4});
  fixture.flushLog();
  fixture.doubleClickLogRow(0);
  QCOMPARE(fixture.reportIDField()->text(), QStringLiteral("09"));
  QCOMPARE(fixture.byteTexts(),
           QStringList({"a1", "b2", "c3", "d4", "55", "66", "77"}));
}

void ReportLogTest::doubleClickIgnoresReadReport() {
  fixture.chooseInterface(1);
  fixture.typeBytes({"11", "22", "33", "44", "55", "66", "77"});
  fixture.reportIDField()->setText("09");
  append(kReportDirectionIn, 5, {1, 2, 3, 4, 5, 6, 7});
  append(kReportDirectionIn, kNoReportID, {1, 2, 3, 4});
  fixture.flushLog();
  fixture.doubleClickLogRow(0);
  fixture.doubleClickLogRow(1);
  QCOMPARE(fixture.reportIDField()->text(), QStringLiteral("09"));
  QCOMPARE(fixture.byteTexts(),
           QStringList({"11", "22", "33", "44", "55", "66", "77"}));
}

void ReportLogTest::addMacroButtonFollowsSelection() {
  append(kReportDirectionOut, kNoReportID, {1, 2, 3, 4});
  append(kReportDirectionIn, kNoReportID, {1, 2, 3, 4});
  fixture.flushLog();
  QVERIFY(!fixture.addMacroButton()->isEnabled());
  fixture.clickLogRow(1);
  QVERIFY(fixture.addMacroButton()->isEnabled());
  fixture.clickLogRow(0);
  QVERIFY(fixture.addMacroButton()->isEnabled());
  QTest::mouseClick(
      fixture.logTable()->viewport(), Qt::LeftButton, Qt::ControlModifier,
      fixture.logTable()->visualRect(fixture.log()->index(0, 0)).center());
  QVERIFY(fixture.logTable()->selectionModel()->selectedRows().isEmpty());
  QVERIFY(!fixture.addMacroButton()->isEnabled());
}

void ReportLogTest::clearLeavesNoRowSelected() {
  for (uint8_t i = 0; i < 5; ++i)
    append(kReportDirectionOut, kNoReportID, {i, 0, 0, 0});
  fixture.flushLog();
  fixture.clickLogRow(2);
  QVERIFY(fixture.addMacroButton()->isEnabled());
  fixture.typeBytes({"0a", "0b"});

  QTest::mouseClick(fixture.widget<QPushButton>("clearButton"), Qt::LeftButton);
  QCOMPARE(fixture.log()->count(), 0);
  QCOMPARE(fixture.log()->rowCount(), 0);
  QCOMPARE(fixture.logTable()->model()->rowCount(), 0);
  QVERIFY(fixture.logTable()->selectionModel()->selectedRows().isEmpty());
  QVERIFY(!fixture.addMacroButton()->isEnabled());
  QCOMPARE(fixture.byteTexts().mid(0, 2), QStringList({"0a", "0b"}));

  // Rows appended but not yet shown go with the rest; the next report is
  // the first row.
  append(kReportDirectionIn, kNoReportID, {7, 0, 0, 0});
  fixture.controller()->clearLogEntries(nullptr);
  append(kReportDirectionIn, kNoReportID, {8, 0, 0, 0});
  fixture.flushLog();
  QCOMPARE(fixture.log()->rowCount(), 1);
  QCOMPARE(rowTexts(fixture.log(), 0)[2], QStringLiteral("0x08"));
  QVERIFY(!fixture.addMacroButton()->isEnabled());
}

void ReportLogTest::appendScrollsAndKeepsSelection() {
  for (int i = 0; i < 200; ++i)
    append(kReportDirectionIn, kNoReportID, {static_cast<uint8_t>(i), 0, 0, 0});
  fixture.flushLog();
  QScrollBar *scrollBar = fixture.logTable()->verticalScrollBar();
  QVERIFY(scrollBar->maximum() > 0);
  QCOMPARE(scrollBar->value(), scrollBar->maximum());

  fixture.clickLogRow(3);
  QVERIFY(scrollBar->value() < scrollBar->maximum());
  append(kReportDirectionOut, kNoReportID, {0xaa, 0, 0, 0});
  fixture.flushLog();
  QCOMPARE(scrollBar->value(), scrollBar->maximum());
  const QModelIndexList selected =
      fixture.logTable()->selectionModel()->selectedRows();
  QCOMPARE(selected.size(), 1);
  QCOMPARE(selected.first().row(), 3);
  QVERIFY(fixture.addMacroButton()->isEnabled());
  QCOMPARE(fixture.log()->rowCount(), 201);
}

QTEST_MAIN(ReportLogTest)
#include "tst_report_log.moc"
