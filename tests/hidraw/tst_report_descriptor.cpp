// The report descriptor reader: real descriptors, bytes that only look like
// a Report ID, and malformed or cut input, always read within its bounds.
#include "PinworthDescriptors.h"
#include "platform/hidraw/ReportDescriptor.h"

#include <QTest>

#include <algorithm>
#include <memory>

using hid::hidraw::UsesReportIDs;

Q_DECLARE_METATYPE(Bytes)

namespace {

// Reads bytes from a heap block of exactly their size, so that the address
// sanitizer catches any read past the end.
bool UsesReportIDsExactly(const Bytes &bytes) {
  auto block = std::make_unique<uint8_t[]>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), block.get());
  return UsesReportIDs(block.get(), bytes.size());
}

Bytes BootKeyboardDescriptor() {
  return {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29,
          0xE7, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02,
          0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01, 0x05,
          0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03,
          0x91, 0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05,
          0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};
}

// A keyboard with a consumer control collection, told apart by report IDs.
Bytes KeyboardAndConsumerDescriptor() {
  return {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x07,
          0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01,
          0x95, 0x08, 0x81, 0x02, 0xC0, 0x05, 0x0C, 0x09, 0x01, 0xA1,
          0x01, 0x85, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x03, 0x19, 0x00,
          0x2A, 0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0};
}

} // namespace

class ReportDescriptorTest : public QObject {
  Q_OBJECT

private slots:
  void reportIDs_data();
  void reportIDs();
  void everyCutOfADescriptor_data();
  void everyCutOfADescriptor();
};

void ReportDescriptorTest::reportIDs_data() {
  QTest::addColumn<Bytes>("descriptor");
  QTest::addColumn<bool>("usesReportIDs");

  QTest::newRow("Pinworth interface 0")
      << PinworthInterface0Descriptor() << false;
  QTest::newRow("Pinworth interface 1")
      << PinworthInterface1Descriptor() << true;
  QTest::newRow("boot keyboard") << BootKeyboardDescriptor() << false;
  QTest::newRow("keyboard and consumer control")
      << KeyboardAndConsumerDescriptor() << true;
  QTest::newRow("0x85 as the data of a four-byte item")
      << Bytes{0x27, 0x85, 0x01, 0x85, 0x01, 0xC0} << false;
  QTest::newRow("0x85 inside a long item")
      << Bytes{0xFE, 0x03, 0x10, 0x85, 0x01, 0x85, 0xC0} << false;
  QTest::newRow("Report ID after a long item")
      << Bytes{0xFE, 0x01, 0x10, 0xAA, 0x85, 0x03, 0xC0} << true;
  QTest::newRow("Report ID of two bytes") << Bytes{0x86, 0x03, 0x00} << true;
  QTest::newRow("Report ID prefix at the very end")
      << Bytes{0x09, 0x01, 0x85} << false;
  QTest::newRow("four-byte item cut short")
      << Bytes{0x27, 0xFF, 0xFF, 0x85} << false;
  QTest::newRow("long item without its tag") << Bytes{0xFE, 0x02} << false;
  QTest::newRow("long item longer than the input")
      << Bytes{0xFE, 0xFF, 0x10, 0x85, 0x01} << false;
}

void ReportDescriptorTest::reportIDs() {
  QFETCH(Bytes, descriptor);
  QFETCH(bool, usesReportIDs);
  QCOMPARE(UsesReportIDsExactly(descriptor), usesReportIDs);
}

void ReportDescriptorTest::everyCutOfADescriptor_data() {
  QTest::addColumn<Bytes>("descriptor");
  QTest::newRow("Pinworth interface 1") << PinworthInterface1Descriptor();
  QTest::newRow("keyboard and consumer control")
      << KeyboardAndConsumerDescriptor();
}

// A cut descriptor uses report IDs exactly when it still holds the whole of
// its first Report ID item.
void ReportDescriptorTest::everyCutOfADescriptor() {
  QFETCH(Bytes, descriptor);
  auto firstReportID = std::find(descriptor.begin(), descriptor.end(), 0x85);
  QVERIFY(firstReportID != descriptor.end());
  size_t wholeItemEnd = (firstReportID - descriptor.begin()) + 2;
  for (size_t length = 0; length <= descriptor.size(); length++) {
    Bytes cut(descriptor.begin(), descriptor.begin() + length);
    QCOMPARE(UsesReportIDsExactly(cut), length >= wholeItemEnd);
  }
}

QTEST_APPLESS_MAIN(ReportDescriptorTest)
#include "tst_report_descriptor.moc"
