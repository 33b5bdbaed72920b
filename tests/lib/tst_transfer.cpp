// Report transfer: open state, statuses, messages, the time bound, the
// by-index and convenience calls.
#include "LibTestSupport.h"

#include <QElapsedTimer>
#include <QtTest>

#include <vector>

using hid::sim::Model;
using Bytes = std::vector<uint8_t>;

class TransferTest : public QObject {
  Q_OBJECT

private slots:
  void init();
  void cleanup();
  void writeLeavesOpenAndReadCloses();
  void failedWriteClosesAndReports();
  void failedOpenLeavesInterfaceAlone();
  void failedReadClosesAndReports();
  void readClearsBytesTheDeviceDidNotFill();
  void silentDeviceTimesOutAndRecovers();
  void removedDeviceFailsWithNoDevice();
  void byIndexCalls();
  void convenienceCallsForModelA();
  void convenienceCallsIgnoreModelB();
  void byteSwapReverses();

private:
  hid::DeviceInterface *interfaceAt(int position) {
    return PinworthInterfaceListNodeAtIndex(position)->pinworthHIDInterface;
  }

  std::unique_ptr<SimulatedLibrary> lib_;
  hid::sim::DeviceID device_ = 0;
};

void TransferTest::init() {
  lib_ = std::make_unique<SimulatedLibrary>();
  device_ = lib_->backend.attach(Model::PinworthA, "1");
  QCOMPARE(PinworthCountInterfaces(), 2);
}

void TransferTest::cleanup() {
  lib_.reset();
}

void TransferTest::writeLeavesOpenAndReadCloses() {
  Bytes latches{0xF0, 0x0F, 0xFF, 0x00};
  QCOMPARE(PinworthWriteToInterface(interfaceAt(0), 4, latches.data()), 0);
  QCOMPARE(lib_->backend.received(device_, 0), std::vector<Bytes>{latches});
  hid::sim::HandleHistory record = lib_->backend.historyOf(interfaceAt(0));
  QVERIFY(record.isOpen);
  QCOMPARE(record.opens, 1);

  uint8_t pins[4];
  QCOMPARE(PinworthReadFromInterface(interfaceAt(0), 0, 4, pins), 0);
  QCOMPARE(Bytes(pins, pins + 4), latches);
  record = lib_->backend.historyOf(interfaceAt(0));
  QVERIFY(!record.isOpen);
  QCOMPARE(record.opens, 2);
  QCOMPARE(record.closes, 1);
}

void TransferTest::failedWriteClosesAndReports() {
  lib_->backend.faults(device_, 1).nextWriteStatus = hid::kErrorIO;
  uint8_t report[8] = {4, 1};
  int32_t status = 0;
  std::string written = CaptureStderr(
      [&] { status = PinworthWriteToInterface(interfaceAt(1), 8, report); });
  QCOMPARE(status, hid::kErrorIO);
  QCOMPARE(written,
           std::string("Could not write setReport on hid device "
                       "interface - input/output error(e00002ca,714)\n"));
  QVERIFY(!lib_->backend.historyOf(interfaceAt(1)).isOpen);
  QVERIFY(lib_->backend.received(device_, 1).empty());
  QCOMPARE(PinworthWriteToInterface(interfaceAt(1), 8, report), 0);
}

void TransferTest::failedOpenLeavesInterfaceAlone() {
  lib_->backend.faults(device_, 0).openStatus = hid::kErrorExclusiveAccess;
  uint8_t bytes[4] = {};
  int32_t writeStatus = 0, readStatus = 0;
  std::string written = CaptureStderr([&] {
    writeStatus = PinworthWriteToInterface(interfaceAt(0), 4, bytes);
    readStatus = PinworthReadFromInterface(interfaceAt(0), 0, 4, bytes);
  });
  QCOMPARE(writeStatus, hid::kErrorExclusiveAccess);
  QCOMPARE(readStatus, hid::kErrorExclusiveAccess);
  std::string line = "Could not open hid device interface - device busy: "
                     "another program has it open for exclusive "
                     "access(e00002c5,709)\n";
  QCOMPARE(written, line + line);
  hid::sim::HandleHistory record = lib_->backend.historyOf(interfaceAt(0));
  QCOMPARE(record.opens, 0);
  QCOMPARE(record.closes, 0);
  QCOMPARE(PinworthCountInterfaces(), 2);
}

void TransferTest::failedReadClosesAndReports() {
  uint8_t bytes[4] = {};
  QCOMPARE(PinworthWriteToInterface(interfaceAt(0), 4, bytes), 0);
  lib_->backend.faults(device_, 0).nextReadStatus = hid::kErrorGeneral;
  int32_t status = 0;
  std::string written = CaptureStderr(
      [&] { status = PinworthReadFromInterface(interfaceAt(0), 0, 4, bytes); });
  QCOMPARE(status, hid::kErrorGeneral);
  QCOMPARE(written, std::string("Could not read getReport on hid device "
                                "interface - general error(e00002bc,700)\n"));
  QVERIFY(!lib_->backend.historyOf(interfaceAt(0)).isOpen);
}

void TransferTest::readClearsBytesTheDeviceDidNotFill() {
  uint8_t bytes[7];
  std::fill(std::begin(bytes), std::end(bytes), 0xAA);
  QCOMPARE(PinworthReadFromInterface(interfaceAt(0), 0, 7, bytes), 0);
  QCOMPARE(Bytes(bytes, bytes + 7), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0}));
}

void TransferTest::silentDeviceTimesOutAndRecovers() {
  lib_->backend.faults(device_, 0).stalled = true;
  uint8_t bytes[4] = {};
  int32_t status = 0;
  QElapsedTimer clock;
  clock.start();
  CaptureStderr(
      [&] { status = PinworthReadFromInterface(interfaceAt(0), 0, 4, bytes); });
  qint64 elapsed = clock.elapsed();
  QCOMPARE(status, hid::kErrorTimeout);
  QVERIFY2(elapsed >= 45 && elapsed < 500,
           qPrintable(QString::number(elapsed)));
  lib_->backend.faults(device_, 0).stalled = false;
  QCOMPARE(PinworthReadFromInterface(interfaceAt(0), 0, 4, bytes), 0);
}

void TransferTest::removedDeviceFailsWithNoDevice() {
  hid::DeviceInterface *stale = interfaceAt(0);
  lib_->backend.detach(device_);
  uint8_t bytes[4] = {};
  int32_t status = 0;
  std::string written = CaptureStderr(
      [&] { status = PinworthWriteToInterface(stale, 4, bytes); });
  QCOMPARE(status, hid::kErrorNoDevice);
  QCOMPARE(written, std::string("Could not open hid device interface - no such "
                                "device: it was unplugged(e00002c0,704)\n"));
}

void TransferTest::byIndexCalls() {
  uint8_t report[8] = {5, 1, 2, 3, 4, 5, 6, 7};
  QCOMPARE(PinworthWrite(0, 1, 8, report), 0);
  QCOMPARE(lib_->backend.received(device_, 1),
           std::vector<Bytes>{Bytes(report, report + 8)});
  QCOMPARE(PinworthWrite(1, 0, 8, report), -1);
  uint8_t pins[4];
  QCOMPARE(PinworthRead(0, 0, 0, 4, pins), 0);
  QCOMPARE(PinworthRead(1, 1, 0, 4, pins), -1);
}

void TransferTest::convenienceCallsForModelA() {
  uint8_t latches[4] = {0x01, 0x02, 0x03, 0x04};
  QCOMPARE(PinworthAWriteInterface0(latches), 0);
  uint8_t data[7] = {0xAA, 1, 2, 3, 4, 5, 6};
  QCOMPARE(PinworthAWriteInterface1(0x1FF, data), 0);
  QCOMPARE(lib_->backend.received(device_, 1).back(),
           (Bytes{0xFF, 0xAA, 1, 2, 3, 4, 5, 6}));
  uint8_t pins[4];
  QCOMPARE(PinworthAReadInterface0(pins), 0);
  QCOMPARE(Bytes(pins, pins + 4), Bytes(latches, latches + 4));
  uint8_t seven[7];
  QCOMPARE(PinworthAReadInterface(0, seven), 0);
  QCOMPARE(Bytes(seven, seven + 7), (Bytes{1, 2, 3, 4, 0, 0, 0}));
}

void TransferTest::convenienceCallsIgnoreModelB() {
  lib_->backend.detach(device_);
  lib_->backend.attach(Model::PinworthB, "2");
  DeliverPendingEvents();
  QCOMPARE(PinworthCountInterfaces(), 2);
  uint8_t bytes[8] = {};
  QCOMPARE(PinworthAWriteInterface0(bytes), -1);
  QCOMPARE(PinworthAReadInterface0(bytes), -1);
  QCOMPARE(PinworthAWriteInterface1(4, bytes), -1);
  QCOMPARE(PinworthAReadInterface(0, bytes), -1);
}

void TransferTest::byteSwapReverses() {
  uint8_t bytes[3] = {1, 2, 3};
  byteSwap(bytes, 3);
  QCOMPARE(Bytes(bytes, bytes + 3), (Bytes{3, 2, 1}));
  byteSwap(bytes, 0);
  byteSwap(bytes, -5);
  QCOMPARE(Bytes(bytes, bytes + 3), (Bytes{3, 2, 1}));
}

QTEST_GUILESS_MAIN(TransferTest)
#include "tst_transfer.moc"
