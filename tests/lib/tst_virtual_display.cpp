// The default display macros, sent through the library, drive the virtual
// device's display and bring its contents back as an interrupt report.
#include "LibTestSupport.h"

#include <QtTest>

#include <vector>

using hid::sim::Model;
using Bytes = std::vector<uint8_t>;

namespace {

std::vector<Bytes> gReports;

void RecordReport(void *target, hid::Status, void *, void *, uint32_t size) {
  auto *bytes = static_cast<uint8_t *>(target);
  gReports.emplace_back(bytes, bytes + size);
}

} // namespace

class VirtualDisplayTest : public QObject {
  Q_OBJECT

private slots:
  void defaultMacrosWriteAndReadBackTest();
  void pinsFollowLatchesAndPulls();
};

void VirtualDisplayTest::defaultMacrosWriteAndReadBackTest() {
  SimulatedLibrary lib;
  hid::sim::DeviceID device = lib.backend.attach(Model::PinworthA, "1000");
  QCOMPARE(PinworthCountInterfaces(), 2);
  hid::DeviceInterface *interface1 = PinworthGetInterface(0, 1);
  uint8_t buffer[8];
  PinworthSetInterruptCallback(interface1, buffer, 8, RecordReport, nullptr);

  const std::vector<Bytes> macros{
      {0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, // Enable LCD Mode
      {0x05, 0x03, 0x38, 0x01, 0x0F, 0x00, 0x00, 0x00}, // Init display
      {0x05, 0x84, 0x54, 0x65, 0x73, 0x74, 0x00, 0x00}, // Write to display
      {0x05, 0x01, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00}, // Move to first pos.
      {0x06, 0x84, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, // Read 4 bytes
  };
  for (const Bytes &macro : macros)
    QCOMPARE(PinworthWriteToInterface(interface1, 8, macro.data()), 0);
  DeliverPendingEvents();

  QCOMPARE(lib.backend.received(device, 1), macros);
  QCOMPARE(lib.backend.device(device).displayLine(0),
           std::string("Test            "));
  QCOMPARE(lib.backend.device(device).displayLine(1), std::string(16, ' '));
  const std::vector<Bytes> readBack{
      {0x06, 0x84, 0x54, 0x65, 0x73, 0x74, 0x00, 0x00}};
  QCOMPARE(gReports, readBack);
}

void VirtualDisplayTest::pinsFollowLatchesAndPulls() {
  SimulatedLibrary lib;
  hid::sim::DeviceID device = lib.backend.attach(Model::PinworthB, "2000");
  uint8_t latches[4] = {0xFF, 0x0F, 0xFF, 0xFF};
  QCOMPARE(PinworthWrite(0, 0, 4, latches), 0);
  lib.backend.setPinPulledLow(device, 0, true);
  uint8_t pins[4];
  QCOMPARE(PinworthRead(0, 0, 0, 4, pins), 0);
  QCOMPARE(Bytes(pins, pins + 4), (Bytes{0xFE, 0x0F, 0xFF, 0xFF}));
}

QTEST_GUILESS_MAIN(VirtualDisplayTest)
#include "tst_virtual_display.moc"
