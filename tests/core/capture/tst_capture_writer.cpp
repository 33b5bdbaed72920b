// The capture writer under faults: a disk that fills mid-capture, a second
// writer of the same file, and a writer process killed while it writes.
#include "core/capture/CaptureReader.h"
#include "core/capture/CaptureWriter.h"
#include "tests/support/ProcessLimits.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <ctime>

using namespace capture;

namespace {

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

class CaptureWriterTest : public QObject {
  Q_OBJECT

private slots:
  // The file may grow to 100 records and 10 bytes: the 101st is cut, the
  // failure says why, the 100 read back and later appends are counted.
  void aFullDiskKeepsWhatWasWrittenAndSaysWhy() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("full.pwcap").toStdString();
    std::signal(SIGXFSZ, SIG_IGN);
    WithLimit limit(RLIMIT_FSIZE, kRecordsStart + 100 * kRecordSize + 10);
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
    append(60, 150);
    QTRY_VERIFY(writer->status().failed);
    append(150, 170);
    const CaptureWriter::Status status = writer->status();
    QCOMPARE(status.reason, "could not write " + path + ": File too large");
    QCOMPARE(status.error, EFBIG);
    QCOMPARE(status.written, uint64_t(100));
    QCOMPARE(status.notWritten, uint64_t(70));
    writer.reset();

    const auto reader = CaptureReader::open(path, &reason);
    QVERIFY2(reader, reason.c_str());
    QCOMPARE(reader->recordCount(), uint64_t(100));
    for (uint64_t i = 0; i < 100; ++i) {
      const Record record = reader->record(i);
      QCOMPARE(record.kind, RecordKind::Read);
      QCOMPARE(record.timeUS, int64_t(i));
      QCOMPARE(record.data[0] | record.data[1] << 8, int(i));
    }
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

QTEST_GUILESS_MAIN(CaptureWriterTest)
#include "tst_capture_writer.moc"
