// The log reads its rows back from the capture on disk: a window's live log
// once its rows are written, and a capture opened read-only, a long one a
// slice at a time, with its filter over every row.
#include "app/MessageBar.h"
#include "app/capture/CaptureFileRows.h"
#include "app/capture/CaptureWindow.h"
#include "app/capture/LogCapture.h"
#include "app/log/LogPanel.h"
#include "app/log/LogTableModel.h"
#include "capture/CaptureWriter.h"
#include "core/interfaces/CaptureSources.h"
#include "tests/support/WholeFiles.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace {

// What a capture window's message bar says.
QString Said(const explorer::CaptureWindow &window) {
  return window.findChild<explorer::MessageBar *>()->text();
}

constexpr core::InterfaceIdentity kAOne{1, 1000, 0};
constexpr core::InterfaceIdentity kBZero{2, 2000, 0};

// Every cell of every row, in the time mode set, and each row's time.
QStringList Cells(explorer::LogTableModel &log) {
  QStringList rows;
  for (int i = 0; i < log.reportCount(); ++i) {
    QStringList cells;
    for (int column = 0; column < explorer::LogTableModel::kColumnCount;
         ++column)
      cells << log.cellText(i, column);
    rows << cells.join('|') << QString::number(log.time(i));
  }
  return rows;
}

// Overwrites record i of the capture at path with a read of report bytes.
void OverwriteRecord(const QString &path, uint64_t i, uint8_t byte) {
  const uint8_t data[7] = {byte, byte, byte, byte, byte, byte, byte};
  const capture::RecordBytes record =
      capture::EncodeReport(false, capture::kNoSource, 0, 0x0C, data, 7);
  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY);
  QVERIFY(fd >= 0);
  const off_t at = off_t(capture::kHeaderSize + capture::kDefaultTableSize +
                         i * capture::kRecordSize);
  QCOMPARE(::pwrite(fd, record.data(), record.size(), at),
           ssize_t(record.size()));
  ::close(fd);
}

// A copy at copy of the capture at path as a 1.0 writer would have left it:
// no index records, minor version 0.
void WithoutIndex(const QString &path, const QString &copy) {
  const QByteArray bytes = ReadAll(path);
  constexpr qsizetype kRecordsStart =
      capture::kHeaderSize + capture::kDefaultTableSize;
  capture::Header header;
  header.minor = 0;
  std::string reason;
  header.startUnixUS =
      capture::DecodeHeader(reinterpret_cast<const uint8_t *>(bytes.data()),
                            capture::kHeaderSize, &reason)
          ->startUnixUS;
  const auto head = capture::EncodeHeader(header);
  QByteArray old(reinterpret_cast<const char *>(head.data()), head.size());
  old += bytes.mid(capture::kHeaderSize,
                   kRecordsStart - qsizetype(capture::kHeaderSize));
  for (qsizetype at = kRecordsStart; at < bytes.size();
       at += capture::kRecordSize)
    if (uint8_t(bytes[at]) != uint8_t(capture::RecordKind::Index))
      old += bytes.mid(at, capture::kRecordSize);
  QVERIFY(WriteAll(copy, old));
}

bool SameRow(const explorer::LogRow &a, const explorer::LogRow &b) {
  return a.time == b.time && a.reportID == b.reportID && a.source == b.source &&
         a.flags == b.flags &&
         std::equal(a.data, a.data + explorer::kLogRowMaxDataSize, b.data);
}

// Row i of the long capture below: an event every 1000th, else a report of
// report ID i % 7, written when i is odd, with i in its first data bytes.
bool IsEvent(uint64_t i) {
  return i % 1000 == 999;
}
void LongReport(uint64_t i, uint8_t data[7]) {
  const auto n = uint32_t(i);
  std::memcpy(data, &n, sizeof n);
  data[4] = data[5] = data[6] = 0;
}

// The long capture's first rows at path.
void WriteLongCapture(const QString &path, uint64_t rows) {
  std::string reason;
  auto writer = capture::CaptureWriter::create(path.toStdString(), &reason);
  QVERIFY2(writer, reason.c_str());
  const uint16_t a = writer->addInterface(core::CaptureEntry(kAOne, {}));
  for (uint64_t i = 0; i < rows; ++i) {
    uint8_t data[7];
    LongReport(i, data);
    if (IsEvent(i))
      writer->appendEvent(a, int64_t(i), capture::EventKind::Unplugged,
                          std::string(30, 'x')); // and two text records
    else
      writer->appendReport(i % 2, a, int64_t(i), uint8_t(i % 7), data, 7);
  }
  QVERIFY(!writer->close().failed);
}

} // namespace

class CaptureRowsTest : public QObject {
  Q_OBJECT

  QTemporaryDir home;

private slots:
  // Written rows leave the log's memory: what it shows of them afterwards
  // is the file's, and it is exactly what was appended.
  void theLiveLogReadsItsWrittenRowsFromTheFile() {
    explorer::LogTableModel log;
    explorer::LogCapture capture(explorer::SessionStore(home.filePath("live")),
                                 log, [](const core::InterfaceIdentity &) {
                                   return std::vector<uint8_t>{0x05, 0x01};
                                 });
    QVERIFY2(capture.problem().isEmpty(), qPrintable(capture.problem()));
    for (int n = 0; n < 3000; ++n) {
      const uint8_t data[7] = {uint8_t(n), uint8_t(n >> 8), 3, 4, 5, 6, 7};
      switch (n % 6) {
      case 0:
        log.append(false, 0x0C, 7, data, kAOne);
        break;
      case 1:
        log.append(true, core::kNoReportID, 4, data, kBZero);
        break;
      case 2:
        log.appendEvent(explorer::LogEvent::PollingStarted, kBZero);
        break;
      case 3:
        log.appendLoss(uint64_t(n), kAOne);
        break;
      case 4:
        log.append(false, core::kNoReportID, 2, data); // no source
        break;
      default:
        log.append(true, 0x05, 0, data, kAOne);
      }
    }
    log.announce();
    for (const auto mode : {explorer::LogTableModel::TimeMode::SinceStart,
                            explorer::LogTableModel::TimeMode::WallClock}) {
      log.setTimeMode(mode);
      const QStringList appended = Cells(log);
      capture.flush();
      log.announce();
      QCOMPARE(Cells(log), appended);
    }
    // Once rows far from it were read since, a row is read again from the
    // file (the reader keeps only a few blocks of records); rows past the
    // file's index records read as they were appended.
    for (int n = 0; n < 140'000; ++n) {
      const uint8_t later[4] = {uint8_t(n), 2, 3, 4};
      log.append(false, core::kNoReportID, 4, later, kBZero);
    }
    capture.flush();
    log.announce();
    for (int i = 3000; i < log.reportCount(); ++i)
      QCOMPARE(log.cellText(i, explorer::LogTableModel::kFirstByteColumn),
               QString::asprintf("0x%02x", (i - 3000) & 0xFF));
    OverwriteRecord(capture.path(), 2998, 0xAB);
    QCOMPARE(log.cellText(2998, explorer::LogTableModel::kFirstByteColumn),
             "0xab");

    // A cleared log begins again in memory and on a new file.
    log.clear();
    const uint8_t data[4] = {9, 9, 9, 9};
    log.append(false, core::kNoReportID, 4, data, kBZero);
    capture.flush();
    log.announce();
    QCOMPARE(log.reportCount(), 1);
    QCOMPARE(log.cellText(0, explorer::LogTableModel::kSourceColumn),
             "B 2000 if0");
    QCOMPARE(log.cellText(0, explorer::LogTableModel::kFirstByteColumn),
             "0x09");
  }

  // A capture without index records (as a 1.0 writer left it) of more rows
  // than a slice reads opens at once and fills as it is read; its rows, found
  // in any order, are the capture's rows (an event's text records and a corrupt
  // record are not rows), and its filter shows every row that matches, in
  // order, also filled a slice at a time. A capture whose interface table is
  // damaged says so, and how many rows lost their interface; the others keep
  // theirs.
  void aDamagedTableIsSaid() {
    const QString path = home.filePath("damaged.pwcap");
    {
      std::string reason;
      auto writer = capture::CaptureWriter::create(path.toStdString(), &reason);
      QVERIFY2(writer, reason.c_str());
      const uint16_t a = writer->addInterface(core::CaptureEntry(kAOne, {}));
      const uint16_t b = writer->addInterface(core::CaptureEntry(kBZero, {}));
      const uint8_t data[4] = {1, 2, 3, 4};
      for (int i = 0; i < 6; ++i)
        writer->appendReport(false, i % 2 ? b : a, i, std::nullopt, data, 4);
      writer->appendEvent(b, 6, capture::EventKind::PollingStopped,
                          "stopped polling: PinworthB (SN 2000) Interface 0");
      QVERIFY(!writer->close().failed);
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(capture::kHeaderSize + 18 + 4)); // B's serial number
    file.write("\x01", 1);
    file.close();

    QString reason;
    std::unique_ptr<explorer::CaptureWindow> window(
        explorer::CaptureWindow::open(path, &reason));
    QVERIFY2(window, qPrintable(reason));
    QTRY_COMPARE(window->log()->rowCount(), 7);
    QCOMPARE(Said(*window),
             "The capture's interface table is damaged: the rows of the "
             "interfaces it no longer holds show no source (-).");
    QCOMPARE(window->statusBar()->currentMessage(),
             "7 rows from " + path +
                 "; 4 without their interface (the table is damaged)");
    QCOMPARE(window->log()->cellText(0, explorer::LogTableModel::kSourceColumn),
             "A 1000 if1");
    QCOMPARE(window->log()->cellText(1, explorer::LogTableModel::kSourceColumn),
             "-");
    // An event of a lost interface still says what happened.
    QCOMPARE(
        window->log()->cellText(6, explorer::LogTableModel::kDecodedColumn),
        "stopped polling");
  }

  void aLongCaptureOpensAndFiltersASliceAtATime() {
    const QString indexed = home.filePath("long-indexed.pwcap");
    const QString path = home.filePath("long.pwcap");
    constexpr uint64_t kWritten = 1'000'000; // rows
    constexpr uint64_t kCorrupt = 654'321;   // a report's row
    WriteLongCapture(indexed, kWritten);
    WithoutIndex(indexed, path);
    { // a data byte changed: the check no longer matches
      QFile file(path);
      QVERIFY(file.open(QIODevice::ReadWrite));
      QVERIFY(file.seek(qint64(
          capture::kHeaderSize + capture::kDefaultTableSize +
          (kCorrupt + 2 * (kCorrupt / 1000)) * capture::kRecordSize + 5)));
      file.write("\xEE", 1);
    }
    // The rows shown: every written row but the corrupt one.
    const auto written = [](uint64_t row) {
      return row < kCorrupt ? row : row + 1;
    };
    constexpr int kRows = int(kWritten - 1);

    QString reason;
    std::unique_ptr<explorer::CaptureWindow> window(
        explorer::CaptureWindow::open(path, &reason));
    QVERIFY2(window, qPrintable(reason));
    explorer::LogTableModel *log = window->log();
    QVERIFY(log->rowCount() < kRows);
    QTRY_COMPARE_WITH_TIMEOUT(log->rowCount(), kRows, 60000);
    QCOMPARE(log->reportCount(), kRows);
    for (uint64_t k = 0, row = 0; k < 20'000; ++k, row = (row + 7919) % kRows) {
      const uint64_t i = written(row);
      QCOMPARE(log->time(int(row)), int64_t(i));
      if (IsEvent(i)) {
        QVERIFY(!log->isReport(int(row)));
        continue;
      }
      const core::ReportRecord record = log->record(int(row));
      uint8_t data[7];
      LongReport(i, data);
      QCOMPARE(record.direction,
               i % 2 ? core::kReportDirectionOut : core::kReportDirectionIn);
      QCOMPARE(record.reportID, int32_t(i % 7));
      QCOMPARE(record.data, QByteArray(reinterpret_cast<char *>(data), 7));
    }

    // Copy refuses a selection past its limit, saying so, and leaves the
    // clipboard as it was.
    auto *view = window->findChild<QAbstractItemView *>("logTable");
    QGuiApplication::clipboard()->setText("before");
    view->selectAll();
    window->panel()->copySelectedRows();
    QCOMPARE(Said(*window),
             QString("Not copied: %1 reports are selected, and Copy takes at "
                     "most 100000. Export Log… writes the reports shown, any "
                     "number of them.")
                 .arg(kRows));
    QCOMPARE(QGuiApplication::clipboard()->text(), "before");
    view->clearSelection();

    std::vector<int> matching; // "W id:03"
    for (uint64_t row = 0; row < uint64_t(kRows); ++row)
      if (const uint64_t i = written(row);
          !IsEvent(i) && i % 2 == 1 && i % 7 == 3)
        matching.push_back(int(row));
    auto *filter = window->findChild<QLineEdit *>("logFilterField");
    filter->setText("W id:03");
    QVERIFY(log->rowCount() < int(matching.size()));
    QTRY_COMPARE_WITH_TIMEOUT(log->rowCount(), int(matching.size()), 60000);
    QTRY_COMPARE(
        Said(*window),
        QString("%1 of %2 reports shown").arg(matching.size()).arg(kRows));
    for (size_t k = 0; k < matching.size(); k += 97)
      QCOMPARE(log->reportAtRow(int(k)), matching[k]);
    QCOMPARE(log->reportAtRow(int(matching.size()) - 1), matching.back());
    log->setTimeMode(explorer::LogTableModel::TimeMode::Delta);
    for (size_t k = 1; k < matching.size(); k += 997)
      QCOMPARE(log->cellText(matching[k], explorer::LogTableModel::kTimeColumn),
               QString::asprintf("+%.6f",
                                 double(written(uint64_t(matching[k])) -
                                        written(uint64_t(matching[k - 1]))) /
                                     1e6));

    // Copy takes a selection of two spans a slice at a time, in order.
    const int shown = int(matching.size());
    const auto rows = [&](int first, int last) {
      return QItemSelection(
          log->index(first, 0),
          log->index(last, explorer::LogTableModel::kColumnCount - 1));
    };
    QItemSelection selection = rows(shown - 20'000, shown - 1);
    selection.merge(rows(10, 40'000), QItemSelectionModel::Select);
    view->selectionModel()->select(selection, QItemSelectionModel::Select);
    constexpr int kCopied = 39'991 + 20'000;
    window->panel()->copySelectedRows();
    QCOMPARE(Said(*window), QString("Copying %1 reports…").arg(kCopied));
    QTRY_COMPARE_WITH_TIMEOUT(Said(*window),
                              QString("Copied %1 reports").arg(kCopied), 60000);
    const QStringList copied =
        QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(copied.size(), kCopied);
    for (int k = 0; k < kCopied; k += 89) {
      const int row = k < 39'991 ? 10 + k : shown - 20'000 + (k - 39'991);
      QCOMPARE(copied[k], log->textLine(matching[size_t(row)]));
    }
    view->clearSelection();

    // Export writes the rows shown when it starts, a change of filter
    // notwithstanding.
    const QString csv = home.filePath("long.csv");
    window->panel()->exportTo(csv);
    filter->setText("R");
    QTRY_VERIFY_WITH_TIMEOUT(!window->panel()->exporting(), 60000);
    QFile exported(csv);
    QVERIFY(exported.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = exported.readAll().split('\n');
    QCOMPARE(lines.size(), int(matching.size()) + 2); // a header, a last CRLF
    for (size_t k = 0; k < matching.size(); k += 101)
      QCOMPARE(lines[int(k) + 1].split(',')[0].toDouble(),
               std::round(double(written(uint64_t(matching[k])))) / 1e6);

    // A filter set while the rows are still read counts them all at the end.
    window.reset(explorer::CaptureWindow::open(path, &reason));
    window->findChild<QLineEdit *>("logFilterField")->setText("W id:03");
    QTRY_COMPARE_WITH_TIMEOUT(
        Said(*window),
        QString("%1 of %2 reports shown").arg(matching.size()).arg(kRows),
        60000);
  }

  // A capture with index records is counted from them before a record is
  // read, and only its last slot is read; its rows, found in any order, are
  // those of the same capture without them, but for a record that does not
  // check, which keeps its place as an empty report.
  void anIndexedCaptureIsCountedAtOnce() {
    const QString path = home.filePath("indexed.pwcap");
    const QString old = home.filePath("unindexed.pwcap");
    constexpr uint64_t kRows = 300'000;
    constexpr uint64_t kCorrupt = 150'001; // a report's row in slot 2
    WriteLongCapture(path, kRows);
    WithoutIndex(path, old);
    const auto open = [](const QString &file) {
      std::string reason;
      auto reader = capture::CaptureReader::open(file.toStdString(), &reason);
      if (!reader)
        qFatal("%s", reason.c_str());
      return std::make_unique<explorer::CaptureFileRows>(
          std::move(reader), std::vector<uint16_t>{0});
    };
    { // a data byte changed: the check no longer matches
      std::string reason;
      const auto reader =
          capture::CaptureReader::open(path.toStdString(), &reason);
      uint64_t record = 0;
      for (uint64_t rows = 0;; ++record)
        if (capture::CountsAsRow(reader->record(record)) && rows++ == kCorrupt)
          break;
      QFile file(path);
      QVERIFY(file.open(QIODevice::ReadWrite));
      QVERIFY(
          file.seek(qint64(capture::kHeaderSize + capture::kDefaultTableSize +
                           record * capture::kRecordSize + 5)));
      file.write("\xEE", 1);
    }

    const auto rows = open(path), plain = open(old);
    QVERIFY(rows->count() > kRows - capture::kIndexInterval);
    QCOMPARE(plain->count(), uint64_t(0));
    // A refresh past its deadline reads 4,096 records.
    const auto past = std::chrono::steady_clock::now();
    int slices = 1;
    while (rows->refresh(past))
      ++slices;
    QVERIFY(slices <= int(capture::kIndexInterval / 4096) + 1);
    QCOMPARE(rows->count(), kRows);
    while (plain->refresh(std::chrono::steady_clock::time_point::max()))
      ;
    QCOMPARE(plain->count(), kRows);
    std::vector<uint64_t> sampled{kCorrupt + 1, kCorrupt, kCorrupt - 1};
    for (uint64_t k = 0, i = 0; k < 400; ++k, i = (i + 99'991) % kRows)
      sampled.push_back(i);
    for (const uint64_t i : sampled) {
      const explorer::LogRow row = rows->row(i);
      if (i == kCorrupt) {
        QVERIFY(row.isReport() && row.size() == 0 && row.time == 0);
        continue;
      }
      QVERIFY2(SameRow(row, plain->row(i)), qPrintable(QString::number(i)));
      QCOMPARE(row.time, int64_t(i));
    }
  }
};

QTEST_MAIN(CaptureRowsTest)
#include "tst_capture_rows.moc"
