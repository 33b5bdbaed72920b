#include "core/text/HexScanner.h"

#include <QTest>

class HexScannerTest : public QObject {
  Q_OBJECT

private slots:
  void scan_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value"); // -1: rejected
    QTest::newRow("single letter") << "a" << 0x0aLL;
    QTest::newRow("blanks, line ends, prefix") << "\r\n\t 0X1f" << 0x1fLL;
    QTest::newRow("no-break space") << QString(QChar(0x00a0)) + "3c" << 0x3cLL;
    QTest::newRow("rest not examined") << "1F zz" << 0x1fLL;
    QTest::newRow("zero then letter") << "0g" << 0LL;
    QTest::newRow("prefix, zero, x") << "0x0x5" << 0LL;
    QTest::newRow("above a byte") << "0x00100" << 0x100LL;
    QTest::newRow("largest 32-bit") << "0xffffffff" << 0xffffffffLL;
    QTest::newRow("blanks only") << " \t\n" << -1LL;
    QTest::newRow("sign") << "+1" << -1LL;
    QTest::newRow("prefix alone") << "  0X" << -1LL;
    QTest::newRow("prefix, non-digit") << "0xg" << -1LL;
    QTest::newRow("prefix, blank") << "0x 5" << -1LL;
    QTest::newRow("fullwidth digit") << QString(QChar(0xff11)) << -1LL;
    QTest::newRow("one above 32 bits") << "0x100000000" << -1LL;
    QTest::newRow("would wrap small") << "1000000001" << -1LL;
  }

  // ScanHexInt leaves its output alone on a rejection; ParseHexByte takes
  // the same texts, limited to 00-FF.
  void scan() {
    QFETCH(QString, text);
    QFETCH(qint64, value);
    unsigned scanned = 0xdeadbeef;
    QCOMPARE(core::ScanHexInt(text, &scanned), value >= 0);
    QCOMPARE(qint64(scanned), value >= 0 ? value : qint64(0xdeadbeef));
    const std::optional<uint8_t> byte = core::ParseHexByte(text);
    QCOMPARE(byte.has_value(), value >= 0 && value <= 0xff);
    if (byte)
      QCOMPARE(qint64(*byte), value);
  }
};

QTEST_APPLESS_MAIN(HexScannerTest)
#include "tst_hex_scanner.moc"
