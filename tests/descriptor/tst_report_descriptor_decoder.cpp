// The report descriptor decoder: the report tables of common devices, item
// names and values as hid-decode prints them, and malformed descriptors
// stopped at the bad item, always read within their bounds.
#include "descriptor/ReportDescriptor.h"
#include "platform/PinworthDescriptors.h"

#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <memory>
#include <vector>

using namespace hid::descriptor;
using Bytes = std::vector<uint8_t>;

Q_DECLARE_METATYPE(Bytes)

namespace {

// Decodes bytes from a heap block of exactly their size, so that the address
// sanitizer catches any read past the end.
Decoded DecodeExactly(const Bytes &bytes) {
  auto block = std::make_unique<uint8_t[]>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), block.get());
  return Decode(block.get(), bytes.size());
}

QStringList ItemLines(const Bytes &bytes) {
  return QString::fromStdString(FormatItems(DecodeExactly(bytes), bytes.data()))
      .split('\n', Qt::SkipEmptyParts);
}

Bytes BootKeyboard() {
  return {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29,
          0xE7, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02,
          0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01, 0x05,
          0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03,
          0x91, 0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05,
          0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};
}

// Three buttons, X, Y and a wheel.
Bytes WheelMouse() {
  return {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05,
          0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03,
          0x75, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x05, 0x81, 0x03, 0x05,
          0x01, 0x09, 0x30, 0x09, 0x31, 0x09, 0x38, 0x15, 0x81, 0x25, 0x7F,
          0x75, 0x08, 0x95, 0x03, 0x81, 0x06, 0xC0, 0xC0};
}

// Sixteen buttons, a hat switch in degrees and four axes.
Bytes Gamepad() {
  return {0x05, 0x01, 0x09, 0x05, 0xA1, 0x01, 0x05, 0x09, 0x19, 0x01, 0x29,
          0x10, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x10, 0x81, 0x02,
          0x05, 0x01, 0x09, 0x39, 0x25, 0x07, 0x35, 0x00, 0x46, 0x3B, 0x01,
          0x65, 0x14, 0x75, 0x04, 0x95, 0x01, 0x81, 0x42, 0x65, 0x00, 0x81,
          0x01, 0x09, 0x30, 0x09, 0x31, 0x09, 0x32, 0x09, 0x35, 0x26, 0xFF,
          0x00, 0x75, 0x08, 0x95, 0x04, 0x81, 0x02, 0xC0};
}

// 63-byte input and output reports and an 8-byte feature report, each
// behind its own report ID.
Bytes VendorDevice() {
  return {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26,
          0xFF, 0x00, 0x75, 0x08, 0x85, 0x01, 0x95, 0x3F, 0x09, 0x01,
          0x81, 0x02, 0x85, 0x02, 0x95, 0x3F, 0x09, 0x02, 0x91, 0x02,
          0x85, 0x03, 0x95, 0x08, 0x09, 0x03, 0xB1, 0x02, 0xC0};
}

} // namespace

class ReportDescriptorDecoderTest : public QObject {
  Q_OBJECT

private slots:
  // Each report as FormatReports lists it, blanks simplified: ID ("-" when
  // there are none), kind, bits, data bytes, report bytes.
  void reportTables_data() {
    QTest::addColumn<Bytes>("descriptor");
    QTest::addColumn<bool>("usesReportIDs");
    QTest::addColumn<QStringList>("reports");
    QTest::newRow("boot keyboard")
        << BootKeyboard() << false
        << QStringList{"- Input 64 8 8", "- Output 8 1 1"};
    QTest::newRow("wheel mouse")
        << WheelMouse() << false << QStringList{"- Input 32 4 4"};
    QTest::newRow("gamepad")
        << Gamepad() << false << QStringList{"- Input 56 7 7"};
    QTest::newRow("vendor device with IDs")
        << VendorDevice() << true
        << QStringList{"1 Input 504 63 64", "2 Output 504 63 64",
                       "3 Feature 64 8 9"};
    QTest::newRow("Pinworth interface 0")
        << pinworth::Interface0ReportDescriptor() << false
        << QStringList{"- Input 32 4 4", "- Output 32 4 4"};
    QTest::newRow("Pinworth interface 1")
        << pinworth::Interface1ReportDescriptor() << true
        << QStringList{"4 Output 56 7 8", "5 Output 56 7 8",
                       "6 Input 56 7 8",  "6 Output 56 7 8",
                       "12 Input 56 7 8", "12 Output 56 7 8"};
    // Report Size 8, Count 1, ID 1; Push; ID 2, Count 2, Input; Pop; Input.
    QTest::newRow("Pop restores ID and count")
        << Bytes{0x75, 0x08, 0x95, 0x01, 0x85, 0x01, 0xA4, 0x85,
                 0x02, 0x95, 0x02, 0x81, 0x02, 0xB4, 0x81, 0x02}
        << true << QStringList{"1 Input 8 1 2", "2 Input 16 2 3"};
  }

  void reportTables() {
    QFETCH(Bytes, descriptor);
    QFETCH(bool, usesReportIDs);
    QFETCH(QStringList, reports);
    const Decoded decoded = DecodeExactly(descriptor);
    QVERIFY(!decoded.error);
    QCOMPARE(decoded.usesReportIDs, usesReportIDs);
    QStringList lines = QString::fromStdString(FormatReports(decoded))
                            .split('\n', Qt::SkipEmptyParts)
                            .sliced(2);
    for (QString &line : lines)
      line = line.simplified();
    QCOMPARE(lines, reports);
  }

  void itemDescriptions_data() {
    QTest::addColumn<Bytes>("items");
    QTest::addColumn<QString>("lastItem");
    QTest::newRow("two-byte vendor page")
        << Bytes{0x06, 0x42, 0xFF} << "Usage Page (Vendor-defined 0xFF42)";
    QTest::newRow("desktop usage")
        << Bytes{0x05, 0x01, 0x09, 0x39} << "Usage (Hat switch)";
    QTest::newRow("usage with its page")
        << Bytes{0x0B, 0x38, 0x00, 0x01, 0x00} << "Usage (Wheel)";
    QTest::newRow("button")
        << Bytes{0x05, 0x09, 0x09, 0x03} << "Usage (Button 3)";
    QTest::newRow("vendor usage")
        << Bytes{0x06, 0x00, 0xFF, 0x09, 0x01} << "Usage (Vendor Usage 0x01)";
    QTest::newRow("negative minimum")
        << Bytes{0x16, 0x00, 0x80} << "Logical Minimum (-32768)";
    QTest::newRow("exponent nibble")
        << Bytes{0x55, 0x0E} << "Unit Exponent (-2)";
    QTest::newRow("unit") << Bytes{0x67, 0x11, 0xE0, 0x00, 0x00}
                          << "Unit (SILinear: cm * s⁻²)";
    QTest::newRow("input flags")
        << Bytes{0x82, 0x02, 0x01} << "Input (Data,Var,Abs,Buff)";
    QTest::newRow("vendor collection")
        << Bytes{0xA1, 0x80} << "Collection (Vendor-defined 0x80)";
    QTest::newRow("reserved global")
        << Bytes{0xC5, 0x01} << "Reserved Global Item (1)";
    QTest::newRow("long item") << Bytes{0xFE, 0x02, 0xF0, 0xAA, 0xBB}
                               << "Long Item (tag 0xF0, 2 bytes)";
  }

  // The description of the last item, the text between "// " and the offset,
  // which stays in its column (collections are left open).
  void itemDescriptions() {
    QFETCH(Bytes, items);
    QFETCH(QString, lastItem);
    const QString line =
        ItemLines(items).filter(QRegularExpression("^# 0x")).last();
    QCOMPARE(line.mid(line.indexOf("// ") + 3).section(' ', 0, -2).trimmed(),
             lastItem);
    QCOMPARE(line.lastIndexOf(' '), 71);
  }

  // Bytes, comment, offset in hid-decode's columns; depth indents the comment.
  void hidDecodeLayout() {
    const QStringList lines = ItemLines(WheelMouse());
    QCOMPARE(lines[4], "# 0xa1, 0x00,                    //  Collection "
                       "(Physical)              8");
    QCOMPARE(lines[20], "# 0x15, 0x81,                    //   Logical "
                        "Minimum (-127)            40");
    QCOMPARE(lines[26], "# 0xc0,                          // End Collection "
                        "                     51");
  }

  void malformed_data() {
    QTest::addColumn<Bytes>("descriptor");
    QTest::addColumn<Malformation::Kind>("kind");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("itemsKept");
    using K = Malformation::Kind;
    QTest::newRow("pop twice")
        << Bytes{0xA4, 0xB4, 0xB4} << K::PopWithoutPush << 2 << 2;
    QTest::newRow("push too deep")
        << Bytes(kMaxPushDepth + 1, 0xA4) << K::PushTooDeep
        << int(kMaxPushDepth) << int(kMaxPushDepth);
    QTest::newRow("end twice")
        << Bytes{0xA1, 0x01, 0xC0, 0xC0} << K::EndWithoutCollection << 3 << 2;
    QTest::newRow("inner left open")
        << Bytes{0xA1, 0x01, 0xA1, 0x00} << K::UnclosedCollection << 2 << 2;
    Bytes nested;
    for (size_t i = 0; i <= kMaxCollectionDepth; i++)
      nested.insert(nested.end(), {0xA1, 0x02});
    QTest::newRow("nested too deeply")
        << nested << K::CollectionTooDeep << 2 * int(kMaxCollectionDepth)
        << int(kMaxCollectionDepth);
    QTest::newRow("long item data past the end")
        << Bytes{0x09, 0x01, 0xFE, 0x03, 0x10, 0xAA, 0xBB} << K::CutOff << 2
        << 1;
    QTest::newRow("report ID 0")
        << Bytes{0x85, 0x00} << K::BadReportID << 0 << 0;
    QTest::newRow("report ID 256")
        << Bytes{0x86, 0x00, 0x01} << K::BadReportID << 0 << 0;
    // 16383 bytes is the longest report; products and sums never wrap.
    QTest::newRow("report one byte too long")
        << Bytes{0x75, 0x08, 0x96, 0xFF, 0x3F, 0x81, 0x02, 0x81, 0x02}
        << K::ReportTooLong << 7 << 3;
    QTest::newRow("size times count past 32 bits")
        << Bytes{0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97,
                 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02}
        << K::ReportTooLong << 10 << 2;
  }

  void malformed() {
    QFETCH(Bytes, descriptor);
    QFETCH(Malformation::Kind, kind);
    QFETCH(int, offset);
    QFETCH(int, itemsKept);
    const Decoded decoded = DecodeExactly(descriptor);
    QCOMPARE(decoded.error, (Malformation{kind, size_t(offset)}));
    QCOMPARE(decoded.items.size(), size_t(itemsKept));
    const QString last = ItemLines(descriptor).last();
    QVERIFY(last.startsWith(QString("# malformed at offset %1: ").arg(offset)));
  }

  void everyCut_data() {
    QTest::addColumn<Bytes>("descriptor");
    QTest::newRow("Pinworth interface 1")
        << pinworth::Interface1ReportDescriptor();
    // Report ID prefixes (0x85) inside a four-byte item and a long item.
    QTest::newRow("four-byte and long items")
        << Bytes{0x0B, 0x85, 0x01, 0x01, 0x00, 0xFE, 0x02,
                 0x10, 0x85, 0x01, 0x85, 0x01, 0x09, 0x01};
  }

  // A cut inside an item stops there with the items before it kept; a cut
  // between items reports the collections still open, if any. Report IDs are
  // used once a whole Report ID item is in.
  void everyCut() {
    QFETCH(Bytes, descriptor);
    const Decoded whole = DecodeExactly(descriptor);
    QVERIFY(!whole.error);
    for (size_t length = 0; length < descriptor.size(); length++) {
      const Decoded cut =
          DecodeExactly(Bytes(descriptor.begin(), descriptor.begin() + length));
      const auto next = std::find_if(
          whole.items.begin(), whole.items.end(),
          [&](const Item &item) { return item.offset + item.size > length; });
      QCOMPARE(cut.items.size(), size_t(next - whole.items.begin()));
      if (next->offset < length)
        QCOMPARE(cut.error,
                 (Malformation{Malformation::Kind::CutOff, next->offset}));
      else
        QCOMPARE(cut.error.has_value(),
                 next->depth + (next->name() == "End Collection") > 0);
      QCOMPARE(cut.usesReportIDs,
               std::any_of(whole.items.begin(), next, [](const Item &item) {
                 return item.name() == "Report ID";
               }));
    }
  }
};

QTEST_APPLESS_MAIN(ReportDescriptorDecoderTest)
#include "tst_report_descriptor_decoder.moc"
