#include "HexScanner.h"

#include <QTest>

#include <limits>

class HexScannerTest : public QObject {
  Q_OBJECT

private slots:
  void acceptedText_data();
  void acceptedText();
  void rejectedText_data();
  void rejectedText();
  void byteRange_data();
  void byteRange();
  void rejectionLeavesOutputAlone();
  void outputMayBeNull();
};

void HexScannerTest::acceptedText_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<unsigned>("value");
  QTest::newRow("single letter") << "a" << 0x0au;
  QTest::newRow("blank then prefix") << " 0x1F" << 0x1fu;
  QTest::newRow("rest not examined") << "1F zz" << 0x1fu;
  QTest::newRow("tab, line end, blank") << "\n\t ff" << 0xffu;
  QTest::newRow("carriage return") << "\r\n7" << 0x7u;
  QTest::newRow("vertical tab and form feed") << "\v\f12" << 0x12u;
  QTest::newRow("no-break space") << QString(QChar(0x00a0)) + "3c" << 0x3cu;
  QTest::newRow("line separator") << QString(QChar(0x2028)) + "3d" << 0x3du;
  QTest::newRow("capital X prefix") << "0X0a" << 0x0au;
  QTest::newRow("mixed case digits") << "aBcD" << 0xabcdu;
  QTest::newRow("zero") << "0" << 0u;
  QTest::newRow("zeros") << "00" << 0u;
  QTest::newRow("zero then letter") << "0g" << 0u;
  QTest::newRow("prefix then zero") << "0x0" << 0u;
  QTest::newRow("prefix digit then x") << "0x0x5" << 0u;
  QTest::newRow("stops at blank") << "12 34" << 0x12u;
  QTest::newRow("stops at minus") << "5-1" << 0x5u;
  QTest::newRow("trailing line end") << "ff\n" << 0xffu;
  QTest::newRow("largest 32-bit") << "FFFFFFFF" << 0xffffffffu;
  QTest::newRow("largest 32-bit with prefix") << "0xffffffff" << 0xffffffffu;
  QTest::newRow("leading zeros do not overflow")
      << "000000000000000001" << 0x1u;
  QTest::newRow("digits stop before fullwidth digit")
      << QString("1") + QChar(0xff12) << 0x1u;
}

void HexScannerTest::acceptedText() {
  QFETCH(QString, text);
  QFETCH(unsigned, value);
  unsigned scanned = 0xdeadbeef;
  QVERIFY(ScanHexInt(text, &scanned));
  QCOMPARE(scanned, value);
}

void HexScannerTest::rejectedText_data() {
  QTest::addColumn<QString>("text");
  QTest::newRow("empty") << "";
  QTest::newRow("blanks only") << " \t\n";
  QTest::newRow("letters") << "zz";
  QTest::newRow("starts with punctuation") << "-1";
  QTest::newRow("plus sign") << "+1";
  QTest::newRow("prefix alone") << "0x";
  QTest::newRow("capital prefix alone") << "0X";
  QTest::newRow("prefix then non-digit") << "0xg";
  QTest::newRow("prefix then blank") << "0x 5";
  QTest::newRow("blank, prefix alone") << "  0x";
  QTest::newRow("x without zero") << "x5";
  QTest::newRow("fullwidth digit") << QString(QChar(0xff11));
  QTest::newRow("nine digits") << "FFFFFFFFF";
  QTest::newRow("one above 32 bits") << "100000000";
  QTest::newRow("one above 32 bits with prefix") << "0x100000000";
  QTest::newRow("would wrap to a small value") << "1000000001";
  QTest::newRow("very long run") << QString(200, u'f');
}

void HexScannerTest::rejectedText() {
  QFETCH(QString, text);
  QVERIFY(!ScanHexInt(text, nullptr));
  QVERIFY(!ParseHexByte(text));
}

void HexScannerTest::byteRange_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("byte"); // -1: rejected
  QTest::newRow("00") << "00" << 0;
  QTest::newRow("a") << "a" << 0x0a;
  QTest::newRow("0x1F after a blank") << " 0x1F" << 0x1f;
  QTest::newRow("1F zz") << "1F zz" << 0x1f;
  QTest::newRow("FF") << "FF" << 0xff;
  QTest::newRow("0x00ff") << "0x00ff" << 0xff;
  QTest::newRow("100 above FF") << "100" << -1;
  QTest::newRow("1ff") << "1ff" << -1;
  QTest::newRow("FFFFFFFF") << "FFFFFFFF" << -1;
  QTest::newRow("FFFFFFFFF too long") << "FFFFFFFFF" << -1;
  QTest::newRow("empty") << "" << -1;
  QTest::newRow("zz") << "zz" << -1;
  QTest::newRow("0x alone") << "0x" << -1;
}

void HexScannerTest::byteRange() {
  QFETCH(QString, text);
  QFETCH(int, byte);
  const std::optional<uint8_t> parsed = ParseHexByte(text);
  if (byte < 0) {
    QVERIFY(!parsed);
  } else {
    QVERIFY(parsed);
    QCOMPARE(int(*parsed), byte);
  }
}

void HexScannerTest::rejectionLeavesOutputAlone() {
  unsigned value = 0x1234;
  QVERIFY(!ScanHexInt(u"zz", &value));
  QVERIFY(!ScanHexInt(u"123456789", &value));
  QCOMPARE(value, 0x1234u);
}

void HexScannerTest::outputMayBeNull() {
  QVERIFY(ScanHexInt(u"7f", nullptr));
}

QTEST_APPLESS_MAIN(HexScannerTest)
#include "tst_hex_scanner.moc"
