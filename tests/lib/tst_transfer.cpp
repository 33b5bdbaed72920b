// Report transfer: open state, statuses and their messages, the by-index and
// convenience calls; and the interrupt reports the contract suite
// (tests/platform/tst_interrupt_contract.cpp) cannot reach through the
// library: an empty report, a report of the other interface, and the armed
// handle a rebuilt list releases.
#include "tests/lib/LibTestSupport.h"

#include <QtTest>

#include <vector>

using hid::sim::Model;
using Bytes = std::vector<uint8_t>;
using Faults = std::function<void(hid::sim::InterfaceFaults &)>;
Q_DECLARE_METATYPE(Faults)

namespace {

struct Delivery {
  void *target;
  Bytes report;
  bool operator==(const Delivery &) const = default;
};

std::vector<Delivery> gDeliveries;

void RecordReport(void *target, hid::Status result, void *refcon, void *,
                  uint32_t size) {
  QCOMPARE(result, hid::kSuccess);
  QCOMPARE(refcon, static_cast<void *>(&gDeliveries));
  auto *bytes = static_cast<uint8_t *>(target);
  gDeliveries.push_back({target, Bytes(bytes, bytes + size)});
}

} // namespace

class TransferTest : public QObject {
  Q_OBJECT

  std::unique_ptr<SimulatedLibrary> lib_;
  hid::sim::DeviceID device_ = 0;

  hid::DeviceInterface *interfaceAt(int position) {
    return PinworthInterfaceListNodeAtIndex(position)->pinworthHIDInterface;
  }
  hid::sim::HandleHistory history(int position) {
    return lib_->backend.historyOf(interfaceAt(position));
  }
  int32_t armInterface1(uint8_t *buffer, uint32_t size) {
    return PinworthSetInterruptCallback(interfaceAt(1), buffer, size,
                                        RecordReport, &gDeliveries);
  }

private slots:
  void init() {
    gDeliveries.clear();
    lib_ = std::make_unique<SimulatedLibrary>();
    device_ = lib_->backend.attach(Model::PinworthA, "1");
    QCOMPARE(PinworthCountInterfaces(), 2);
  }
  void cleanup() { lib_.reset(); }

  // A read opens the interface a write left open, and closes it; bytes the
  // device does not deliver read as zero.
  void writeLeavesOpenReadCloses() {
    Bytes latches{0xF0, 0x0F, 0xFF, 0x00};
    QCOMPARE(PinworthWriteToInterface(interfaceAt(0), 4, latches.data()), 0);
    QCOMPARE(lib_->backend.received(device_, 0), std::vector<Bytes>{latches});
    QVERIFY(history(0).isOpen);
    Bytes pins(7, 0xAA);
    QCOMPARE(PinworthReadFromInterface(interfaceAt(0), 0, 7, pins.data()), 0);
    QCOMPARE(pins, (Bytes{0xF0, 0x0F, 0xFF, 0x00, 0, 0, 0}));
    QCOMPARE(history(0).opens, 2);
    QCOMPARE(history(0).closes, 1);
    QVERIFY(!history(0).isOpen);
  }

  void failures_data() {
    QTest::addColumn<Faults>("faults");
    QTest::addColumn<bool>("isWrite");
    QTest::addColumn<int>("status");
    QTest::addColumn<std::string>("message");
    QTest::addColumn<int>("opens");
    QTest::newRow("set-report: closed")
        << Faults([](auto &f) { f.nextWriteStatus = hid::kErrorIO; }) << true
        << int(hid::kErrorIO)
        << std::string("Could not write setReport on hid device interface - "
                       "input/output error(e00002ca,714)\n")
        << 1;
    QTest::newRow("get-report: closed")
        << Faults([](auto &f) { f.nextReadStatus = hid::kErrorGeneral; })
        << false << int(hid::kErrorGeneral)
        << std::string("Could not read getReport on hid device interface - "
                       "general error(e00002bc,700)\n")
        << 1;
    QTest::newRow("open, write: untouched")
        << Faults([](auto &f) { f.openStatus = hid::kErrorExclusiveAccess; })
        << true << int(hid::kErrorExclusiveAccess)
        << std::string("Could not open hid device interface - device busy: "
                       "another program has it open for exclusive "
                       "access(e00002c5,709)\n")
        << 0;
    QTest::newRow("open, read")
        << Faults([](auto &f) { f.openStatus = hid::kErrorNoDevice; }) << false
        << int(hid::kErrorNoDevice)
        << std::string("Could not open hid device interface - no such device: "
                       "it was unplugged(e00002c0,704)\n")
        << 0;
  }

  void failures() {
    QFETCH(Faults, faults);
    QFETCH(bool, isWrite);
    QFETCH(int, status);
    QFETCH(std::string, message);
    QFETCH(int, opens);
    faults(lib_->backend.faults(device_, 0));
    uint8_t bytes[4] = {};
    int32_t result = 0;
    const std::string written = CaptureStderr([&] {
      result = isWrite ? PinworthWriteToInterface(interfaceAt(0), 4, bytes)
                       : PinworthReadFromInterface(interfaceAt(0), 0, 4, bytes);
    });
    QCOMPARE(result, status);
    QCOMPARE(written, message);
    QCOMPARE(history(0).opens, opens);
    QCOMPARE(history(0).closes, opens);
    QVERIFY(lib_->backend.received(device_, 0).empty());
    QCOMPARE(PinworthWriteToInterface(interfaceAt(0), 4, bytes),
             opens ? 0 : status);
  }

  // PinworthAReadInterface reads interface 0, as PinworthAReadInterface0
  // does; with only a PinworthB attached, every convenience call finds none.
  void byIndexAndConvenienceCalls() {
    uint8_t report[8] = {5, 1, 2, 3, 4, 5, 6, 7};
    QCOMPARE(PinworthWrite(0, 1, 8, report), 0);
    QCOMPARE(PinworthWrite(1, 0, 8, report), -1);
    QCOMPARE(PinworthRead(1, 1, 0, 4, report), -1);
    QCOMPARE(PinworthAWriteInterface1(0x1FF, report), 0);
    QCOMPARE(lib_->backend.received(device_, 1),
             (std::vector<Bytes>{{5, 1, 2, 3, 4, 5, 6, 7},
                                 {0xFF, 5, 1, 2, 3, 4, 5, 6}}));
    QCOMPARE(PinworthAWriteInterface0(report), 0);
    uint8_t seven[7];
    QCOMPARE(PinworthAReadInterface(0, seven), 0);
    QCOMPARE(Bytes(seven, seven + 7), (Bytes{5, 1, 2, 3, 0, 0, 0}));
    QCOMPARE(PinworthAReadInterface0(seven), 0);

    lib_->backend.detach(device_);
    lib_->backend.attach(Model::PinworthB, "2");
    DeliverPendingEvents();
    QCOMPARE(PinworthCountInterfaces(), 2);
    QCOMPARE(PinworthAWriteInterface0(report), -1);
    QCOMPARE(PinworthAReadInterface0(report), -1);
    QCOMPARE(PinworthAWriteInterface1(4, report), -1);
    QCOMPARE(PinworthAReadInterface(0, report), -1);
  }

  void byteSwapReverses() {
    uint8_t bytes[3] = {1, 2, 3};
    byteSwap(bytes, 3);
    byteSwap(bytes, 0);
    byteSwap(bytes, -5);
    QCOMPARE(Bytes(bytes, bytes + 3), (Bytes{3, 2, 1}));
  }

  // An empty report arrives empty; interface 0's report goes to nobody.
  void anEmptyReportArrivesEmptyAndInterface0sGoesToNobody() {
    uint8_t buffer[3] = {};
    QCOMPARE(armInterface1(buffer, 3), 0);
    lib_->backend.sendInputReport(device_, 1, {});
    lib_->backend.sendInputReport(device_, 0, {9, 9, 9, 9});
    lib_->backend.sendInputReport(device_, 1, {5, 1, 2});
    QTRY_COMPARE(gDeliveries.size(), size_t(2));
    QCOMPARE(gDeliveries,
             (std::vector<Delivery>{{buffer, {}}, {buffer, {5, 1, 2}}}));
  }

  // Reading the list again once a device arrived releases the armed handle:
  // the report on its way reaches nobody.
  void aRebuiltListReleasesTheArmedHandle() {
    DeliverPendingEvents();
    uint8_t buffer[8] = {};
    armInterface1(buffer, 8);
    lib_->backend.attach(Model::PinworthB, "2");
    DeliverPendingEvents(); // marks the list dirty
    lib_->backend.sendInputReport(device_, 1, {2});
    lib_->backend.waitForKernelQueues();    // on its way, not delivered yet
    QCOMPARE(PinworthCountInterfaces(), 4); // releases the armed handle
    QTest::qWait(50);
    QVERIFY(gDeliveries.empty());
    QVERIFY(lib_->backend.handleHistories(device_, 1).front().destroyed);
  }
};

QTEST_GUILESS_MAIN(TransferTest)
#include "tst_transfer.moc"
