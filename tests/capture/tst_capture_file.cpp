// The capture file as the writer leaves it and the reader sees it: every
// kind of record with the interfaces' identities and descriptors, a file cut
// at any byte, versions newer and older than the reader's, files that are
// not captures, and a file followed while it is written; the writer under
// faults: a disk that fills mid-capture, a second writer of the same file,
// and a writer process killed while it writes.
#include "capture/CaptureReader.h"
#include "capture/CaptureWriter.h"
#include "tests/support/FullDisk.h"
#include "tests/support/ProcessLimits.h"
#include "tests/support/WholeFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <ctime>
#include <sys/stat.h>

using namespace capture;

namespace {

const CaptureInterface kInterface1{1, 1000, 0, {0x06, 0x00, 0xFF, 0x09, 0x01}};
const CaptureInterface kInterface0{2, 2000, 1, {}};

// A capture at path with reports, a loss and an event with text; ends with
// the number of records written.
uint64_t WriteSample(const std::string &path, int reports) {
  std::string reason;
  auto writer = CaptureWriter::create(path, &reason);
  if (!writer)
    qFatal("%s", reason.c_str());
  const uint16_t a = writer->addInterface(kInterface1);
  const uint16_t b = writer->addInterface(kInterface0);
  writer->appendEvent(a, 5, EventKind::ListeningStarted);
  for (int i = 0; i < reports; ++i) {
    const uint8_t data[7] = {uint8_t(i), 1, 2, 3, 4, 5, uint8_t(0xF0 | i)};
    if (i % 2)
      writer->appendReport(false, b, 10 + i, std::nullopt, data, 4);
    else
      writer->appendReport(true, a, 10 + i, uint8_t(0x05), data, 7);
  }
  writer->appendLoss(a, 900, 12);
  writer->appendEvent(b, 1000, EventKind::Unplugged,
                      "gone: input/output error while polling, after 12 s");
  return 1 + uint64_t(reports) + 1 + 4;
}

// The header of bytes with its version changed and its CRC made right.
QByteArray WithVersion(QByteArray bytes, uint16_t major, uint16_t minor) {
  auto *raw = reinterpret_cast<uint8_t *>(bytes.data());
  raw[8] = uint8_t(major), raw[9] = uint8_t(major >> 8);
  raw[10] = uint8_t(minor), raw[11] = uint8_t(minor >> 8);
  const uint32_t crc = Crc32(raw, 60);
  for (int i = 0; i < 4; ++i)
    raw[60 + i] = uint8_t(crc >> (8 * i));
  return bytes;
}

constexpr uint64_t kRecordsStart = kHeaderSize + kDefaultTableSize;

int64_t MonotonicUS() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

uint64_t SequenceOf(const Record &record) {
  uint64_t sequence = 0;
  for (int i = 0; i < 7; ++i)
    sequence |= uint64_t(record.data[i]) << (8 * i);
  return sequence;
}

} // namespace

class CaptureFileTest : public QObject {
  Q_OBJECT

private slots:
  void readsBackEveryKindOfRecordWithItsInterfaces() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("a.pwcap").toStdString();
    const uint64_t written = WriteSample(path, 3);
    std::string reason;
    const auto reader = CaptureReader::open(path, &reason);
    QVERIFY2(reader, reason.c_str());
    QCOMPARE(reader->interfaces(),
             (std::vector<CaptureInterface>{kInterface1, kInterface0}));
    QCOMPARE(reader->recordCount(), written);

    const Record started = reader->record(0);
    QCOMPARE(started.kind, RecordKind::Event);
    QCOMPARE(started.eventKind, uint8_t(EventKind::ListeningStarted));
    QCOMPARE(reader->eventText(0), std::string());
    const Record sent = reader->record(1);
    QCOMPARE(sent.kind, RecordKind::Written);
    QCOMPARE(sent.source, uint16_t(0));
    QCOMPARE(sent.timeUS, int64_t(10));
    QVERIFY(sent.hasReportID);
    QCOMPARE(sent.reportID, uint8_t(0x05));
    QCOMPARE(sent.size, uint8_t(7));
    QCOMPARE(sent.data[6], uint8_t(0xF0));
    const Record read = reader->record(2);
    QCOMPARE(read.kind, RecordKind::Read);
    QCOMPARE(read.source, uint16_t(1));
    QVERIFY(!read.hasReportID);
    QCOMPARE(read.size, uint8_t(4));
    QCOMPARE(read.data[0], uint8_t(1));
    QCOMPARE(read.data[4], uint8_t(0)); // bytes past the size are not kept
    const Record loss = reader->record(4);
    QCOMPARE(loss.kind, RecordKind::Loss);
    QCOMPARE(loss.count, uint32_t(12));
    QCOMPARE(reader->record(5).eventKind, uint8_t(EventKind::Unplugged));
    QCOMPARE(reader->eventText(5),
             std::string("gone: input/output error while polling, after 12 s"));
    QCOMPARE(reader->record(6).kind, RecordKind::EventText);
    QCOMPARE(QFile::permissions(QString::fromStdString(path)),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                 QFile::WriteUser);
  }

  // Every cut in the last three records and the one before opens to the
  // records wholly before the cut, the last of them as written.
  void opensAFileCutAtAnyByteToItsLastWholeRecord() {
    QTemporaryDir dir;
    const QString whole = dir.filePath("whole.pwcap");
    const uint64_t records = WriteSample(whole.toStdString(), 20);
    const QByteArray bytes = ReadAll(whole);
    std::string reason;
    const auto original = CaptureReader::open(whole.toStdString(), &reason);
    const qsizetype recordsStart = bytes.size() - qsizetype(records) * 24;
    const QString cut = dir.filePath("cut.pwcap");
    for (qsizetype size = bytes.size() - 4 * 24; size <= bytes.size(); ++size) {
      QVERIFY(WriteAll(cut, bytes.left(size)));
      const auto reader = CaptureReader::open(cut.toStdString(), &reason);
      QVERIFY2(reader, reason.c_str());
      const uint64_t wholeRecords = uint64_t(size - recordsStart) / 24;
      QCOMPARE(reader->recordCount(), wholeRecords);
      const Record last = reader->record(wholeRecords - 1);
      const Record expected = original->record(wholeRecords - 1);
      QCOMPARE(last.kind, expected.kind);
      QCOMPARE(last.timeUS, expected.timeUS);
      QCOMPARE(last.data, expected.data);
    }
    // Cut in the table: the header holds, the interfaces whole before the
    // cut are there, no record is.
    // The first entry is 23 bytes.
    QVERIFY(WriteAll(cut, bytes.left(64 + 23 + 5)));
    const auto inTable = CaptureReader::open(cut.toStdString(), &reason);
    QVERIFY(inTable);
    QCOMPARE(inTable->interfaces().size(), size_t(1));
    QCOMPARE(inTable->recordCount(), uint64_t(0));
    QVERIFY(WriteAll(cut, bytes.left(40)));
    QVERIFY(!CaptureReader::open(cut.toStdString(), &reason));
    QCOMPARE(reason, std::string("the capture's header is cut short"));
  }

  // Before the first row at or after each 65,536 records, an index record
  // counts the rows before it; an event's text records stay after their
  // event. The reader finds each one, as far as they hold together: an
  // index record that does not check, or that counts more rows than there
  // are records, ends the index before it.
  void indexRecordsCountTheRowsBeforeThem() {
    QTemporaryDir dir;
    const QString path = dir.filePath("long.pwcap");
    constexpr uint64_t kRows = 200'000;
    {
      std::string reason;
      auto writer = CaptureWriter::create(path.toStdString(), &reason);
      QVERIFY2(writer, reason.c_str());
      const uint16_t a = writer->addInterface(kInterface1);
      const uint8_t data[4] = {1, 2, 3, 4};
      // Every other row an event with three text records: 65,536 falls in
      // a text (65,536 % 5 == 1).
      for (uint64_t i = 0; i < kRows; ++i)
        if (i % 2 == 0)
          writer->appendEvent(a, int64_t(i), EventKind::PollingStarted,
                              std::string(kMaxEventText, 'e'));
        else
          writer->appendReport(false, a, int64_t(i), std::nullopt, data, 4);
      QVERIFY(!writer->close().failed);
    }
    std::string reason;
    auto reader = CaptureReader::open(path.toStdString(), &reason);
    QVERIFY2(reader, reason.c_str());
    std::vector<uint64_t> rowsBefore;
    uint64_t rows = 0;
    for (uint64_t r = 0; r < reader->recordCount(); ++r) {
      rowsBefore.push_back(rows);
      const Record record = reader->record(r);
      if (record.kind == RecordKind::Event)
        QCOMPARE(reader->eventText(r).size(), size_t(kMaxEventText));
      rows += CountsAsRow(record);
    }
    QCOMPARE(rows, kRows);
    const std::vector<CaptureReader::IndexEntry> index = reader->index();
    QCOMPARE(index.size(), size_t(reader->recordCount() / kIndexInterval));
    QCOMPARE(index[0].record, kIndexInterval + 3); // after the event at 65,535
    for (size_t k = 0; k < index.size(); ++k) {
      const uint64_t slot = (k + 1) * kIndexInterval;
      QVERIFY(index[k].record >= slot && index[k].record <= slot + 3);
      QCOMPARE(reader->record(index[k].record).kind, RecordKind::Index);
      QCOMPARE(index[k].rowsBefore, rowsBefore[index[k].record]);
    }

    const auto overwrite = [&](uint64_t record, const RecordBytes &bytes) {
      QFile file(path);
      QVERIFY(file.open(QIODevice::ReadWrite));
      QVERIFY(file.seek(qint64(kRecordsStart + record * kRecordSize)));
      file.write(reinterpret_cast<const char *>(bytes.data()), kRecordSize);
    };
    RecordBytes unchecked = EncodeIndex(index[1].rowsBefore);
    unchecked[kRecordSize - 1] ^= 1;
    overwrite(index[1].record, unchecked);
    reader = CaptureReader::open(path.toStdString(), &reason);
    QCOMPARE(reader->index().size(), size_t(1));
    overwrite(index[1].record, EncodeIndex(index[1].rowsBefore));
    overwrite(index[0].record, EncodeIndex(index[0].record + 1));
    reader = CaptureReader::open(path.toStdString(), &reason);
    QVERIFY(reader->index().empty());
  }

  // A page the system zeroed after a power loss reads as not written.
  void dropsAZeroedTail() {
    QTemporaryDir dir;
    const QString path = dir.filePath("zeroed.pwcap");
    const uint64_t records = WriteSample(path.toStdString(), 20);
    QVERIFY(WriteAll(path, ReadAll(path) + QByteArray(4096, '\0')));
    std::string reason;
    const auto reader = CaptureReader::open(path.toStdString(), &reason);
    QVERIFY(reader);
    QCOMPARE(reader->recordCount(), records);
  }

  void refusesOrReadsByVersion_data() {
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<QString>("reason"); // empty: read
    QTest::newRow("this one") << int(kMajorVersion) << int(kMinorVersion) << "";
    QTest::newRow("newer minor") << int(kMajorVersion) << 7 << "";
    QTest::newRow("newer major")
        << kMajorVersion + 1 << 0
        << "capture format 2.0 is newer than this program reads (1.x)";
    QTest::newRow("much newer")
        << 300 << 4
        << "capture format 300.4 is newer than this program reads "
           "(1.x)";
    QTest::newRow("before the first")
        << 0 << 9 << "the capture's header is corrupt";
  }
  void refusesOrReadsByVersion() {
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath("v.pwcap");
    const uint64_t records = WriteSample(path.toStdString(), 2);
    QVERIFY(WriteAll(
        path, WithVersion(ReadAll(path), uint16_t(major), uint16_t(minor))));
    std::string why;
    const auto reader = CaptureReader::open(path.toStdString(), &why);
    QCOMPARE(QString::fromStdString(why), reason);
    QCOMPARE(bool(reader), reason.isEmpty());
    if (reader)
      QCOMPARE(reader->recordCount(), records);
  }

  void refusesWhatIsNotACapture_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty") << QByteArray() << "not a capture file";
    QTest::newRow("text") << QByteArray("time,source\r\n1,A\r\n")
                          << "not a capture file";
    QByteArray flipped(64, '\0');
    flipped.replace(0, 8, "PWCAP\r\n\x1a");
    QTest::newRow("bad CRC") << flipped << "the capture's header is corrupt";
  }
  void refusesWhatIsNotACapture() {
    QFETCH(QByteArray, contents);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath("x");
    QVERIFY(WriteAll(path, contents));
    std::string why;
    QVERIFY(!CaptureReader::open(path.toStdString(), &why));
    QCOMPARE(QString::fromStdString(why), reason);
    QVERIFY(!CaptureReader::open(dir.path().toStdString(), &why));
    QCOMPARE(QString::fromStdString(why),
             dir.path() + " is not a regular file");
    const QString fifo = dir.filePath("fifo");
    QCOMPARE(::mkfifo(qPrintable(fifo), 0600), 0);
    QVERIFY(!CaptureReader::open(fifo.toStdString(), &why));
    QCOMPARE(QString::fromStdString(why), fifo + " is not a regular file");
  }

  void followsAFileStillBeingWritten() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("growing.pwcap").toStdString();
    std::string reason;
    auto writer = CaptureWriter::create(path, &reason);
    const uint8_t data[4] = {1, 2, 3, 4};
    writer->appendReport(false, kNoSource, 1, std::nullopt, data, 4);
    QTRY_VERIFY(writer->status().written == 1);
    const auto reader = CaptureReader::open(path, &reason);
    QCOMPARE(reader->recordCount(), uint64_t(1));
    QCOMPARE(reader->interfaces().size(), size_t(0));
    const uint16_t source = writer->addInterface(kInterface1);
    for (int i = 0; i < 1000; ++i)
      writer->appendReport(false, source, 2 + i, std::nullopt, data, 4);
    QTRY_VERIFY(writer->status().written == 1001);
    QVERIFY(reader->refresh(&reason));
    QCOMPARE(reader->recordCount(), uint64_t(1001));
    QCOMPARE(reader->interfaces(), std::vector<CaptureInterface>{kInterface1});
    QCOMPARE(reader->record(1000).timeUS, int64_t(1001));
  }

  // The reader reads, never maps: the records of a file cut short under it,
  // and a hole a full disk cannot back, read as records that do not check
  // where a map would end the process with SIGBUS. A writer that cannot
  // begin on a full disk says so and leaves no file.
  void readsSafelyWhatShrinksOrSitsOnAFullDisk() {
    QTemporaryDir dir;
    const std::string cut = dir.filePath("cut.pwcap").toStdString();
    const uint64_t records = WriteSample(cut, 10'000);
    std::string reason;
    const auto reader = CaptureReader::open(cut, &reason);
    QVERIFY2(reader, reason.c_str());
    QCOMPARE(reader->recordCount(), records);
    QCOMPARE(::truncate(cut.c_str(), off_t(kRecordsStart + 10 * kRecordSize)),
             0);
    QCOMPARE(reader->record(5).kind, RecordKind::Written);
    QCOMPARE(reader->record(4000).kind, RecordKind::Corrupt);

    const FullDisk disk(dir.filePath("full"));
    if (!disk.mounted())
      QSKIP("mounting a tmpfs needs root");
    const std::string full = dir.filePath("full/current.pwcap").toStdString();
    QVERIFY(!CaptureWriter::create(full, &reason));
    QCOMPARE(reason, "could not write " + full + ": No space left on device");
    QVERIFY(!QFile::exists(QString::fromStdString(full)));
    // A file of holes (as a writer leaves it when its header cannot land).
    QCOMPARE(::truncate(cut.c_str(), 0), 0);
    QVERIFY(
        QFile::copy(QString::fromStdString(cut), QString::fromStdString(full)));
    QCOMPARE(::truncate(full.c_str(), off_t(kRecordsStart + 4096)), 0);
    QVERIFY(!CaptureReader::open(full, &reason));
    QCOMPARE(reason, std::string("not a capture file"));
  }

  // A disk that fills mid-capture, as a file-size limit (room for 100
  // records and 10 bytes) and as a full tmpfs: the records that leave room
  // for a "writing stopped" record after them stay, that record says why,
  // and so does the failure; later appends are counted.
  void aFullDiskKeepsWhatWasWrittenAndSaysWhy_data() {
    QTest::addColumn<bool>("fullDisk");
    QTest::newRow("file-size limit") << false;
    QTest::newRow("full tmpfs") << true;
  }
  void aFullDiskKeepsWhatWasWrittenAndSaysWhy() {
    QFETCH(bool, fullDisk);
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("full"));
    std::optional<FullDisk> disk; // room for the header and a few records
    if (fullDisk && !disk.emplace(dir.filePath("full"), 3 * 4096).mounted())
      QSKIP("mounting a tmpfs needs root");
    const std::string path = dir.filePath("full/full.pwcap").toStdString();
    std::signal(SIGXFSZ, SIG_IGN);
    WithLimit limit(RLIMIT_FSIZE, fullDisk
                                      ? RLIM_INFINITY
                                      : kRecordsStart + 100 * kRecordSize + 10);
    std::string reason;
    auto writer = CaptureWriter::create(path, &reason);
    QVERIFY2(writer, reason.c_str());
    const auto append = [&](int from, int to) {
      for (int i = from; i < to; ++i) {
        const uint8_t data[4] = {uint8_t(i), uint8_t(i >> 8), 0, 0};
        writer->appendReport(false, kNoSource, i, std::nullopt, data, 4);
      }
    };
    append(0, 60);
    QTRY_COMPARE(writer->status().written, uint64_t(60));
    append(60, 600);
    QTRY_VERIFY(writer->status().failed);
    append(600, 620);
    const CaptureWriter::Status status = writer->status();
    const int error = fullDisk ? ENOSPC : EFBIG;
    QCOMPARE(status.error,
             "could not write " + path + ": " + std::strerror(error));
    QCOMPARE(status.errorNumber, error);
    if (!fullDisk)
      QCOMPARE(status.written, uint64_t(99));
    QVERIFY(status.written > 60 && status.written < 600);
    QCOMPARE(status.reportsWritten, status.written);
    QCOMPARE(status.notWritten, 620 - status.written);
    writer.reset();

    const auto reader = CaptureReader::open(path, &reason);
    QVERIFY2(reader, reason.c_str());
    QCOMPARE(reader->recordCount(), status.written + 1);
    for (uint64_t i = 0; i < status.written; ++i) {
      const Record record = reader->record(i);
      QCOMPARE(record.kind, RecordKind::Read);
      QCOMPARE(record.timeUS, int64_t(i));
      QCOMPARE(record.data[0] | record.data[1] << 8, int(i));
    }
    const Record stopped = reader->record(status.written);
    QCOMPARE(stopped.kind, RecordKind::WritingStopped);
    QCOMPARE(stopped.count, uint32_t(error));
  }

  void aSecondWriterIsRefused() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("one.pwcap").toStdString();
    std::string reason;
    const auto first = CaptureWriter::create(path, &reason);
    QVERIFY(first);
    QVERIFY(!CaptureWriter::create(path, &reason));
    QCOMPARE(reason, "could not write " + path +
                         ": another program is writing this capture");
    QVERIFY(!CaptureWriter::create(dir.filePath("no/such.pwcap").toStdString(),
                                   &reason));
    QVERIFY(reason.find("No such file or directory") != std::string::npos);
  }

  // A writer process killed with SIGKILL at any moment: every record it
  // appended more than 100 ms before is in the file, in order, none
  // missing. The file is watched for a second while it is written (the
  // newest record in it never more than 100 ms old), then the writer is
  // killed.
  void aKilledWriterLosesAtMostTheLast100ms() {
    QTemporaryDir dir;
    const QString path = dir.filePath("killed.pwcap");
    QProcess helper;
    helper.start(QStringLiteral(CAPTURE_WRITER_HELPER), {path});
    QVERIFY(helper.waitForReadyRead(10000));
    std::string reason;
    const auto reader = CaptureReader::open(path.toStdString(), &reason);
    QVERIFY2(reader, reason.c_str());
    int64_t oldest = 0;
    for (int sample = 0; sample < 70; ++sample) {
      QTest::qWait(13);
      const int64_t now = MonotonicUS();
      QVERIFY(reader->refresh(&reason));
      oldest = std::max(oldest,
                        now - reader->record(reader->recordCount() - 1).timeUS);
    }
    const int64_t killedAt = MonotonicUS();
    ::kill(pid_t(helper.processId()), SIGKILL);
    QVERIFY(helper.waitForFinished(10000));

    QVERIFY(reader->refresh(&reason));
    const uint64_t count = reader->recordCount();
    for (uint64_t i = 0; i < count; i += 97)
      QCOMPARE(SequenceOf(reader->record(i)), i);
    const Record last = reader->record(count - 1);
    QCOMPARE(SequenceOf(last), count - 1);
    oldest = std::max(oldest, killedAt - last.timeUS);
    // The record after the last one in the file came after it.
    QVERIFY2(oldest <= 100000, qPrintable(QString::number(oldest)));
  }
};

QTEST_GUILESS_MAIN(CaptureFileTest)
#include "tst_capture_file.moc"
