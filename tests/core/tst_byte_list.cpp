// Pasted byte lists: the forms users paste, and texts refused whole.
#include "core/ByteList.h"

#include <QTest>

class ByteListTest : public QObject {
  Q_OBJECT

private slots:
  void parse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes"); // null: refused
    QTest::newRow("pairs") << " 05 01:80;00\n"
                           << QByteArray("\x05\x01\x80\0", 4);
    QTest::newRow("prefixed") << "0x05,0X1" << QByteArray("\x05\x01");
    QTest::newRow("run of pairs") << "0501ff" << QByteArray("\x05\x01\xff");
    QTest::newRow("bracketed")
        << "[5, 0x0a, 255]" << QByteArray("\x05\x0a\xff");
    QTest::newRow("64 bytes")
        << QString("00").repeated(64) << QByteArray(64, 0);
    QTest::newRow("65 bytes") << QString("00").repeated(65) << QByteArray();
    QTest::newRow("nothing") << " [ ] " << QByteArray();
    QTest::newRow("odd run") << "05018" << QByteArray();
    QTest::newRow("long prefixed") << "0x050" << QByteArray();
    QTest::newRow("above a byte") << "[256]" << QByteArray();
    QTest::newRow("unclosed") << "[5, 1" << QByteArray();
    QTest::newRow("plus sign") << "[+5]" << QByteArray();
    QTest::newRow("minus zero") << "[-0]" << QByteArray();
    QTest::newRow("sign after prefix") << "[0x+f]" << QByteArray();
  }

  // A refused text comes with its reason.
  void parse() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QString error;
    const std::optional<QByteArray> parsed = ParseByteList(text, &error);
    QCOMPARE(parsed.value_or(QByteArray()), bytes);
    QCOMPARE(error.isEmpty(), parsed.has_value());
  }
};

QTEST_APPLESS_MAIN(ByteListTest)
#include "tst_byte_list.moc"
