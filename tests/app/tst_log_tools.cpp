// The report log through the real window: records and cells, loading a
// written report by double-click, the selection and Clear Log, the time and
// source columns, the Pinworth decoding, the header menu, follow mode, Copy,
// Export and the filter.
#include "app/capture/CaptureSessions.h"
#include "app/capture/LogCapture.h"
#include "app/log/LogPanel.h"
#include "core/reports/ReportDecoder.h"
#include "tests/app/ExplorerFixture.h"
#include "tests/support/ProcessLimits.h"
#include "tests/support/WholeFiles.h"

#include <QClipboard>
#include <QDateTime>
#include <QFile>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>

using hid::sim::DeviceID;
using hid::sim::Model;

namespace {

QString Cell(explorer::LogTableModel *log, int row, int column) {
  return log->data(log->index(row, column)).toString();
}

} // namespace

class LogToolsTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;
  DeviceID a = 0, b = 0;

  // Writes 01 02 03 04 to A's interface 0, listens to B's interface 1 (an
  // event row), which sends "Test" as an LCD read answer and an infrared
  // key.
  void logThreeReports() {
    fixture.setFormTexts("", {"01", "02", "03", "04"});
    fixture.click("writeButton");
    fixture.chooseInterface(3);
    fixture.click("readButton");
    fixture.backend().sendInputReport(b, 1,
                                      {6, 0x84, 'T', 'e', 's', 't', 0, 0});
    fixture.backend().sendInputReport(b, 1, {0x0c, 0x00, 0x16, 0, 0, 0, 0, 0});
    QTRY_COMPARE(fixture.log()->reportCount(), 4);
    fixture.flushLog();
  }
  void append(bool isOutput, int reportID, const QByteArray &data) {
    fixture.controller()->addLogEntryWithDirection(
        isOutput ? core::kReportDirectionOut : core::kReportDirectionIn,
        reportID, int(data.size()),
        reinterpret_cast<const uint8_t *>(data.constData()));
  }
  // The window's capture holds every row logged so far.
  void flushCapture() {
    fixture.flushLog();
    fixture.process().captures().captureOf(fixture.window())->flush();
  }
  void exportAndWait(const QString &path) {
    fixture.controller()->logPanel()->exportTo(path);
    QTRY_VERIFY(!fixture.controller()->logPanel()->exporting());
  }

private slots:
  void initTestCase() { fixture.setUp(); }
  void init() {
    a = fixture.backend().attach(Model::PinworthA, "1000");
    b = fixture.backend().attach(Model::PinworthB, "2000");
    fixture.loadAndWake();
  }
  void cleanup() { fixture.cleanup(); }

  // The caller's buffer may change as soon as a record is built or logged;
  // a record taken from the log outlives the log's rows.
  void recordsHoldTheirOwnBytes() {
    uint8_t bytes[7] = {3, 0x38, 1, 0x0f, 0, 0, 0};
    const core::ReportRecord record =
        explorer::PinworthWindowController::logEntryWithDirection(
            core::kReportDirectionOut, 5, 7, bytes, "Init display");
    fixture.controller()->addLogEntryWithDirection(core::kReportDirectionIn,
                                                   core::kNoReportID, 4, bytes);
    std::fill(std::begin(bytes), std::end(bytes), 0xee);
    QCOMPARE(record,
             (core::ReportRecord{"W", 5, QByteArray::fromHex("0338010f000000"),
                                 "Init display"}));
    const QList<core::ReportRecord> logged = fixture.records();
    fixture.click("clearButton"); // new rows take the place of the old
    append(false, core::kNoReportID, QByteArray(4, 0x11));
    QCOMPARE(logged, QList<core::ReportRecord>(
                         {{"R", core::kNoReportID,
                           QByteArray::fromHex("0338010f"), ""}}));
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

  // A text is drawn whole where it fits and cut where it does not, afresh
  // when its column or the font changes; nothing is drawn past the cell.
  void aCellShowsItsWholeTextOrCutsIt() {
    append(false, 0x0c, QByteArray::fromHex("00160000000000")); // IR key
    append(false, 6, QByteArray::fromHex("06010203040506"));    // 6 reads
    fixture.flushLog();
    explorer::LogView *view = fixture.logTable();
    view->clearSelection();
    const int column = explorer::LogTableModel::kDecodedColumn;
    const int last = fixture.log()->rowCount() - 1;
    // How far right of the cell's left edge row has ink, up to the view's
    // right edge.
    const auto inkEnd = [&](int row) {
      // The column is the last: scrolled to the right edge, it is in view.
      view->horizontalScrollBar()->setValue(
          view->horizontalScrollBar()->maximum());
      view->viewport()->update();
      QCoreApplication::processEvents();
      const QImage image = view->viewport()->grab().toImage();
      const qreal ratio = image.devicePixelRatio();
      const int left = int(
          view->horizontalHeader()->sectionViewportPosition(column) * ratio);
      const int height = view->fontMetrics().height() + 4;
      const int top =
          int((row * height - view->verticalScrollBar()->value()) * ratio);
      const QRgb background = image.pixel(left + 1, top);
      int end = 0;
      for (int y = top; y < top + int(height * ratio); ++y)
        for (int x = left; x < image.width(); ++x)
          if (image.pixel(x, y) != background)
            end = std::max(end, x - left);
      return end / ratio;
    };
    const int padding = explorer::LogView::kCellPadding;
    const QString text = Cell(fixture.log(), last - 1, column);
    const int whole = view->fontMetrics().horizontalAdvance(text);
    const int charWidth = view->fontMetrics().averageCharWidth();
    QHeaderView *header = view->horizontalHeader();
    header->resizeSection(column, whole + 40);
    const qreal wholeEnd = inkEnd(last - 1);
    QVERIFY2(wholeEnd > padding + whole - charWidth &&
                 wholeEnd <= padding + whole,
             qPrintable(QString::number(wholeEnd)));
    header->resizeSection(column, whole / 2); // the last: it fills the view
    const int cell = header->sectionSize(column);
    QVERIFY(cell < whole);
    const qreal cutEnd = inkEnd(last - 1);
    QVERIFY2(cutEnd <= cell - padding &&
                 cutEnd > cell - padding - 2 * charWidth,
             qPrintable(QString::number(cutEnd)));
    header->resizeSection(column, whole - 10);
    QVERIFY(inkEnd(last - 1) > cutEnd);
    header->resizeSection(column, whole + 40);
    QCOMPARE(inkEnd(last - 1), wholeEnd);

    // The six reads are too long for the cell in either font.
    const qreal longCut = inkEnd(last);
    QFont smaller = view->font();
    smaller.setPointSizeF(smaller.pointSizeF() * 0.6);
    view->setFont(smaller);
    const int smallCharWidth = view->fontMetrics().averageCharWidth();
    QVERIFY2(qAbs(inkEnd(last) - longCut) < 2 * smallCharWidth,
             qPrintable(QString::number(inkEnd(last))));
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
        << 1 << true << core::kNoReportID << QByteArray::fromHex("a1b2c3d4")
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
      append(i % 2, core::kNoReportID, QByteArray(4, char(i)));
    fixture.flushLog();
    fixture.clickLogRow(3);
    QVERIFY(fixture.addMacroEnabled());
    append(true, core::kNoReportID, QByteArray(4, 9));
    fixture.flushLog();
    QCOMPARE(fixture.logTable()->currentIndex().row(), 3); // kept
    fixture.clickLogRow(3, Qt::ControlModifier);
    QVERIFY(!fixture.addMacroEnabled());

    fixture.clickLogRow(2);
    append(false, core::kNoReportID, QByteArray(4, 7));
    fixture.setFormTexts("0c", {"0a", "0b"});
    fixture.click("clearButton");
    QCOMPARE(fixture.log()->reportCount(), 0);
    QCOMPARE(fixture.logTable()->model()->rowCount(), 0);
    QVERIFY(!fixture.logRowSelected());
    QVERIFY(!fixture.addMacroEnabled());
    fixture.controller()->logTableDoubleClicked();
    QCOMPARE(fixture.form().left(8), "0c 0a 0b");
    append(false, core::kNoReportID, QByteArray(4, 8));
    fixture.flushLog();
    QCOMPARE(fixture.rowText(0), "R||0x08|0x08|0x08|0x08|||");
  }

  // The record's nine columns keep their places; the added ones follow in
  // the model and are shown first.
  void everyRowHasItsTimeAndSource() {
    logThreeReports();
    explorer::LogTableModel *log = fixture.log();
    QStringList ids;
    for (int column = 0; column < log->columnCount(); ++column)
      ids << log->headerData(column, Qt::Horizontal,
                             explorer::LogTableModel::kColumnIdentifierRole)
                 .toString();
    QCOMPARE(ids, QStringList({"R/W", "Id", "0", "1", "2", "3", "4", "5", "6",
                               "Time", "Source", "Decoded", "ASCII"}));
    QCOMPARE(fixture.logTable()->horizontalHeader()->logicalIndex(0),
             int(explorer::LogTableModel::kTimeColumn));
    QCOMPARE(Cell(log, 0, explorer::LogTableModel::kSourceColumn),
             "A 1000 if0");
    QCOMPARE(Cell(log, 3, explorer::LogTableModel::kSourceColumn),
             "B 2000 if1");
    const QStringList times = {
        Cell(log, 2, explorer::LogTableModel::kTimeColumn),
        Cell(log, 3, explorer::LogTableModel::kTimeColumn)};
    QVERIFY(QRegularExpression("^\\d+\\.\\d{6}$").match(times[0]).hasMatch());
    QVERIFY(times[0].toDouble() > 0 &&
            times[1].toDouble() >= times[0].toDouble());
    log->setTimeMode(explorer::LogTableModel::TimeMode::Delta);
    QCOMPARE(
        Cell(log, 3, explorer::LogTableModel::kTimeColumn),
        QString::asprintf("+%.6f", times[1].toDouble() - times[0].toDouble()));
    log->setTimeMode(explorer::LogTableModel::TimeMode::WallClock);
    QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d{6}$")
                .match(Cell(log, 0, explorer::LogTableModel::kTimeColumn))
                .hasMatch());
  }

  void decodesPinworthReports_data() {
    QTest::addColumn<bool>("isOutput");
    QTest::addColumn<int>("reportID");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("decoded");
    const auto row = [](const char *name, bool isOutput, int id,
                        const char *hex, const QString &decoded) {
      QTest::newRow(name) << isOutput << id << QByteArray::fromHex(hex)
                          << decoded;
    };
    row("pins", false, core::kNoReportID, "f0ffff7e", "pins 0-3, 24, 31 low");
    row("latches", true, core::kNoReportID, "ffffffff", "latches: all high");
    row("LCD mode", true, 4, "01000000000000", "LCD mode on");
    row("init display", true, 5, "0338010f000000",
        "LCD: function set: 8-bit, 2 lines, 5x8; clear display; display on, "
        "cursor on, blink on");
    row("write", true, 5, "84546573740000", "LCD write: \"Test\"");
    row("home", true, 5, "01800000000000", "LCD: set display address 0x00");
    row("read request", true, 6, "84000000000000",
        "LCD read request: 4 characters");
    row("read answer", false, 6, "84546573740000", "LCD read: \"Test\"");
    row("busy flag", false, 6, "01050000000000",
        "LCD read: busy 0, address 0x05");
    row("infrared", true, 12, "00000000000000", "infrared reception off");
    row("remote key", false, 12, "00160000000000",
        "IR key: address 0x00, command 0x16");
    row("unknown", false, 0x42, "01", "unknown report ID 0x42");
  }

  void decodesPinworthReports() {
    QFETCH(bool, isOutput);
    QFETCH(int, reportID);
    QFETCH(QByteArray, data);
    QFETCH(QString, decoded);
    const auto *bytes = reinterpret_cast<const uint8_t *>(data.constData());
    QCOMPARE(core::DecodeReport(isOutput, reportID, bytes, int(data.size())),
             decoded);
    if (QByteArray(QTest::currentDataTag()) == "read answer")
      QCOMPARE(core::AsciiText(bytes, int(data.size())), ".Test..");
  }

  // The header's menu shows and hides the added columns and says what Time
  // shows; the choice comes back with the window.
  void headerMenuChoosesColumns() {
    QHeaderView *header = fixture.logTable()->horizontalHeader();
    QVERIFY(header->isSectionHidden(explorer::LogTableModel::kAsciiColumn));
    QStringList items;
    QTimer::singleShot(0, [&items] {
      auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
      for (QAction *action : menu->actions())
        if (!action->isSeparator())
          items << action->text();
      menu->actions().at(3)->trigger(); // ASCII
      menu->close();
    });
    emit header->customContextMenuRequested(QPoint(10, 5));
    QCOMPARE(items, QStringList({"Time", "Source", "Decoded", "ASCII",
                                 "Time since the log started", "Time of day",
                                 "Time since the report above"}));
    QVERIFY(!header->isSectionHidden(explorer::LogTableModel::kAsciiColumn));
    fixture.close();
    fixture.loadAndWake();
    QVERIFY(!fixture.logTable()->horizontalHeader()->isSectionHidden(
        explorer::LogTableModel::kAsciiColumn));
  }

  // New rows scroll into sight only while the view is at the bottom with no
  // row selected; otherwise a button counts them and jumps to the end.
  void followsOnlyFromTheBottom() {
    explorer::LogView *view = fixture.logTable();
    QScrollBar *bar = view->verticalScrollBar();
    const uint8_t bytes[4] = {1, 2, 3, 4};
    const auto append = [&](int count) {
      for (int i = 0; i < count; ++i)
        fixture.controller()->addLogEntryWithDirection(
            core::kReportDirectionIn, core::kNoReportID, 4, bytes);
      fixture.flushLog();
    };
    append(200);
    QCOMPARE(bar->value(), bar->maximum());
    bar->setValue(0);
    append(3);
    QCOMPARE(bar->value(), 0);
    auto *jump = view->findChild<QPushButton *>();
    QVERIFY(jump->isVisible());
    QCOMPARE(jump->text(), "3 new reports \u2193");
    QTest::mouseClick(jump, Qt::LeftButton);
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(!jump->isVisible());
    fixture.clickLogRow(fixture.log()->rowCount() - 1);
    const int at = bar->value();
    append(2);
    QCOMPARE(bar->value(), at);
    QCOMPARE(view->unseenRows(), 2);
  }

  // However small the log is squeezed, with rows wider and taller than it,
  // it lays itself out and still follows.
  void aSqueezedLogStillFollows() {
    explorer::LogView *view = fixture.logTable();
    const uint8_t bytes[4] = {1, 2, 3, 4};
    for (int i = 0; i < 200; ++i)
      fixture.controller()->addLogEntryWithDirection(
          core::kReportDirectionIn, core::kNoReportID, 4, bytes);
    fixture.flushLog();
    QMainWindow *window = fixture.window();
    for (int height = 120; height <= 900; height += 3) {
      window->resize(420 + height % 500, height);
      // Every interface in turn: a message bar comes and goes.
      fixture.chooseInterface(height % fixture.interfacePopup()->count());
    }
    for (int height = 0; height <= 90; ++height)
      for (int width : {0, 30, 60, 200})
        view->resize(width, height);
    window->resize(1200, 1000);
    QTRY_VERIFY(view->height() > 100);
    QScrollBar *bar = view->verticalScrollBar();
    fixture.flushLog();
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(bar->maximum() > 0);
  }

  // A cut cell shows its whole text as its tooltip, a whole one none; the
  // columns of one-width texts grow with the view's font.
  void cutCellsTellTheirWholeText() {
    logThreeReports();
    explorer::LogView *view = fixture.logTable();
    explorer::LogTableModel *log = fixture.log();
    QHeaderView *header = view->horizontalHeader();
    const int decoded = explorer::LogTableModel::kDecodedColumn;
    int event = 0;
    while (log->isReport(event))
      ++event;
    const QString whole = log->cellText(event, decoded);
    const auto askTooltip = [&](int row, int column) {
      const QPoint at = view->visualRect(log->index(row, column)).center();
      QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
      QApplication::sendEvent(view->viewport(), &help);
    };
    header->setStretchLastSection(false);
    header->resizeSection(decoded, 60);
    askTooltip(event, decoded);
    QTRY_COMPARE(QToolTip::text(), whole);
    header->resizeSection(decoded,
                          view->fontMetrics().horizontalAdvance(whole) +
                              2 * explorer::LogView::kCellPadding);
    askTooltip(event, decoded);
    QTRY_COMPARE(QToolTip::text(), QString());
    askTooltip(0, explorer::LogTableModel::kFirstByteColumn);
    QTRY_COMPARE(QToolTip::text(), QString());

    const int byte = explorer::LogTableModel::kFirstByteColumn;
    const int before = header->sectionSize(byte);
    QFont larger = view->font();
    larger.setPointSizeF(larger.pointSizeF() * 2);
    view->setFont(larger);
    QVERIFY(header->sectionSize(byte) > before);
    QVERIFY(header->sectionSize(byte) >=
            QFontMetrics(larger).horizontalAdvance("0x00") +
                2 * explorer::LogView::kCellPadding);
  }

  // Several rows copy as lines of the log's text format, an event as a line
  // of its own kind; the current row is the one the record's rules act on,
  // and an event is never loaded.
  void copiesSelectedRows() {
    logThreeReports();
    fixture.clickLogRow(3);
    fixture.clickLogRow(1, Qt::ControlModifier);
    fixture.clickLogRow(0, Qt::ControlModifier);
    QTest::keySequence(fixture.logTable(), QKeySequence::Copy);
    const QStringList lines =
        QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0].mid(14), "  A 1000 if0    W  --  01 02 03 04    "
                               "       latches: pins 1-8, 10-15, 18-25, "
                               "27-31 low");
    QVERIFY(QRegularExpression("^ +\\d+\\.\\d{6}  B 2000 if1    E  --  +"
                               "started listening: PinworthB \\(SN 2000\\) "
                               "Interface 1$")
                .match(lines[1])
                .hasMatch());
    QVERIFY(QRegularExpression("^ +\\d+\\.\\d{6}  B 2000 if1    R  0c  00 "
                               "16 00 00 00 00 00  IR key: address 0x00, "
                               "command 0x16$")
                .match(lines[2])
                .hasMatch());
    fixture.setFormTexts("ee", QStringList(7, "ee"));
    fixture.controller()->logTableDoubleClicked(); // row 0, the current one
    QCOMPARE(fixture.form(), "ee 01 02 03 04 ee ee ee");
    fixture.doubleClickLogRow(1);
    QCOMPARE(fixture.form(), "ee 01 02 03 04 ee ee ee");
    QVERIFY(!fixture.addMacroEnabled()); // an event is never a macro
  }

  // CSV and text, whole or not at all.
  void exportsWholeFilesOrNone() {
    logThreeReports();
    const QString csv = fixture.homePath() + "/log.csv";
    exportAndWait(csv);
    const QList<QByteArray> records = ReadAll(csv).split('\n');
    QCOMPARE(records.size(), 6); // header, four records, the last CRLF
    QCOMPARE(records[0], "time,wall_time,source,direction,report_id,byte_0,"
                         "byte_1,byte_2,byte_3,byte_4,byte_5,byte_6,decoded\r");
    QVERIFY(records[2].endsWith(",B 2000 if1,event,,,,,,,,,started "
                                "listening: PinworthB (SN 2000) Interface "
                                "1\r"));
    QVERIFY(records[3].endsWith(",B 2000 if1,R,06,84,54,65,73,74,00,00,"
                                "\"LCD read: \"\"Test\"\"\"\r"));
    // The wall-clock times are UTC to the microsecond, and as far apart as
    // the relative ones.
    const auto times = [&](int record) {
      const QList<QByteArray> fields = records[record].split(',');
      const QDateTime wall =
          QDateTime::fromString(QString(fields[1].left(23)), Qt::ISODateWithMs);
      return std::pair{fields[0].toDouble() * 1e6,
                       double(wall.toMSecsSinceEpoch()) * 1e3 +
                           fields[1].mid(23, 3).toDouble()};
    };
    QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\."
                               "\\d{6}Z$")
                .match(QString(records[4].split(',')[1]))
                .hasMatch());
    const auto [firstRelative, firstWall] = times(1);
    const auto [lastRelative, lastWall] = times(4);
    QVERIFY(std::abs((lastWall - firstWall) - (lastRelative - firstRelative)) <=
            1);
    QVERIFY(std::abs(firstWall / 1e3 -
                     double(QDateTime::currentMSecsSinceEpoch())) < 60e3);
    const QString text = fixture.homePath() + "/log.txt";
    exportAndWait(text);
    QCOMPARE(ReadAll(text).count('\n'), 4);

    fixture.controller()->logPanel()->exportTo(fixture.homePath() +
                                               "/cancelled.csv");
    for (QPushButton *button : fixture.window()->findChildren<QPushButton *>())
      if (button->text() == "Cancel Export")
        button->click();
    QTRY_VERIFY(!fixture.controller()->logPanel()->exporting());
    exportAndWait(fixture.homePath() + "/no/such/folder/log.csv");
    QVERIFY(!QFile::exists(fixture.homePath() + "/cancelled.csv"));
    QVERIFY(!QFile::exists(fixture.homePath() + "/no/such/folder/log.csv"));
    // A disk that fills up (here, a file-size limit) says why. The limit is
    // the process's: the window's own capture is written out before it, so
    // that its writer meets no limit and the message is the export's.
    flushCapture();
    {
      WithLimit small(RLIMIT_FSIZE, 300);
      exportAndWait(fixture.homePath() + "/full.csv");
    }
    QCOMPARE(fixture.widget<QLabel>("messageText")->text(),
             "Export failed: File too large: nothing was written");
    QVERIFY(!QFile::exists(fixture.homePath() + "/full.csv"));
    // So does one that fills up while rows are still being made.
    const uint8_t data[4] = {1, 2, 3, 4};
    for (int n = 0; n < 200'000; ++n)
      fixture.log()->append(false, core::kNoReportID, 4, data);
    flushCapture();
    {
      WithLimit small(RLIMIT_FSIZE, 64 << 10);
      exportAndWait(fixture.homePath() + "/long.csv");
    }
    QCOMPARE(fixture.widget<QLabel>("messageText")->text(),
             "Export failed: File too large: nothing was written");
    QVERIFY(!QFile::exists(fixture.homePath() + "/long.csv"));
  }

  // The filter shows what matches and removes nothing; what the shown row
  // holds is what loads and what becomes a macro.
  void filterShowsMatchingRows() {
    logThreeReports();
    auto *field = fixture.widget<QLineEdit>("logFilterField");
    field->setText("06 84 ?? ??");
    QCOMPARE(fixture.log()->rowCount(), 1);
    QCOMPARE(fixture.rowText(0), "R|0x06|0x84|0x54|0x65|0x73|0x74|0x00|0x00");
    field->setText("src:A W");
    QCOMPARE(fixture.log()->rowCount(), 1);
    fixture.setFormTexts("ee", QStringList(7, "ee"));
    fixture.doubleClickLogRow(0);
    QCOMPARE(fixture.form(), "ee 01 02 03 04 ee ee ee");
    field->setText("R id:0c");
    fixture.backend().sendInputReport(b, 1, {0x0c, 0x00, 0x17});
    QTRY_COMPARE(fixture.log()->reportCount(), 5);
    fixture.flushLog();
    QCOMPARE(fixture.log()->rowCount(), 2);
    field->setText("id:zz");
    QVERIFY(field->styleSheet().contains("border"));
    QCOMPARE(fixture.log()->rowCount(), 2);
    field->setText("event src:B");
    QCOMPARE(fixture.log()->rowCount(), 1);
    QCOMPARE(Cell(fixture.log(), 0, explorer::LogTableModel::kDecodedColumn),
             "started listening: PinworthB (SN 2000) Interface 1");
    field->setText("event src:A");
    QCOMPARE(fixture.log()->rowCount(), 0);
    field->clear();
    QCOMPARE(fixture.log()->rowCount(), 5);
  }
};

QTEST_MAIN(LogToolsTest)
#include "tst_log_tools.moc"
