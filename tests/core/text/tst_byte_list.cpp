// Typed and pasted byte lists: the forms users paste, quoted texts with
// their escapes, the room the caller has, and texts refused whole.
#include "core/text/ByteList.h"

#include <QTest>

class ByteListTest : public QObject {
  Q_OBJECT

private slots:
  void parse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QByteArray>("bytes"); // null: refused
    QTest::addColumn<QString>("reason");   // part of a refusal's reason
    const int any = core::kMaxByteListLength;
    QTest::newRow("pairs") << " 05 01:80;00\n"
                           << any << QByteArray("\x05\x01\x80\0", 4) << "";
    QTest::newRow("prefixed")
        << "0x05,0X1" << any << QByteArray("\x05\x01") << "";
    QTest::newRow("run of pairs")
        << "0501ff" << any << QByteArray("\x05\x01\xff") << "";
    QTest::newRow("bracketed")
        << "[5, 0x0a, 255]" << any << QByteArray("\x05\x0a\xff") << "";
    QTest::newRow("64 bytes")
        << QString("00").repeated(64) << any << QByteArray(64, 0) << "";
    QTest::newRow("65 bytes")
        << QString("00").repeated(65) << any << QByteArray() << "65 bytes";
    QTest::newRow("nothing") << " [ ] " << any << QByteArray() << "no byte";
    QTest::newRow("odd run") << "05018" << any << QByteArray() << "\"05018\"";
    QTest::newRow("long prefixed") << "0x050" << any << QByteArray() << "";
    QTest::newRow("above a byte") << "[256]" << any << QByteArray() << "";
    QTest::newRow("unclosed") << "[5, 1" << any << QByteArray() << "']'";
    QTest::newRow("plus sign") << "[+5]" << any << QByteArray() << "";
    QTest::newRow("minus zero") << "[-0]" << any << QByteArray() << "";
    QTest::newRow("sign after prefix") << "[0x+f]" << any << QByteArray() << "";

    QTest::newRow("double quotes")
        << "\"Hi there\"" << any << QByteArray("Hi there") << "";
    QTest::newRow("single quotes") << "'Hi'" << any << QByteArray("Hi") << "";
    QTest::newRow("bytes and text")
        << "05 85 'Hello'" << any << QByteArray("\x05\x85Hello") << "";
    QTest::newRow("text against bytes") << "05'a'\"b\"06" << any
                                        << QByteArray("\x05"
                                                      "ab\x06")
                                        << "";
    QTest::newRow("text in brackets") << "[5, 'A]']" << any
                                      << QByteArray("\x05"
                                                    "A]")
                                      << "";
    QTest::newRow("the other quote inside")
        << "\"it's\" 'say \"x\"'" << any << QByteArray("it'ssay \"x\"") << "";
    QTest::newRow("escapes")
        << R"('\\\"\'\n\r\t')" << any << QByteArray("\\\"'\n\r\t") << "";
    QTest::newRow("hex escapes")
        << R"("\x00\xfF\x41A")" << any << QByteArray("\0\xff\x41\x41", 4) << "";
    QTest::newRow("separators kept in a text")
        << "' ,:;'" << any << QByteArray(" ,:;") << "";
    QTest::newRow("text that fits")
        << "'Hello!!'" << 7 << QByteArray("Hello!!") << "";
    QTest::newRow("text one byte over")
        << "'Hello!!!'" << 7 << QByteArray() << "8 bytes";
    QTest::newRow("bytes and text over")
        << "05 85 'Hello!'" << 7 << QByteArray() << "8 bytes";
    QTest::newRow("empty text") << "''" << any << QByteArray() << "no byte";
    QTest::newRow("unknown escape")
        << R"('a\qb')" << any << QByteArray() << "\"\\q\" is not an escape";
    QTest::newRow("short hex escape")
        << R"('\x4')" << any << QByteArray() << "\"\\x4'\" is not an escape";
    QTest::newRow("hex escape without digits")
        << R"('\xg0')" << any << QByteArray() << "\"\\xg0\"";
    QTest::newRow("lone backslash")
        << "'a\\" << any << QByteArray() << "lone \\";
    QTest::newRow("no closing quote")
        << "05 'Hello" << any << QByteArray() << "has no closing '";
    QTest::newRow("escaped closing quote")
        << R"("a\")" << any << QByteArray() << "has no closing \"";
    QTest::newRow("not ASCII")
        << QString::fromUtf8("'caf\xc3\xa9'") << any << QByteArray()
        << QString::fromUtf8("'\xc3\xa9' is not");
    QTest::newRow("outside the basic plane")
        << QString::fromUtf8("\"\xf0\x9f\x98\x80\"") << any << QByteArray()
        << QString::fromUtf8("'\xf0\x9f\x98\x80' is not an ASCII");
    QTest::newRow("text without quotes")
        << "hello world" << any << QByteArray() << "\"hello\"";
  }

  // A refused text comes with its reason.
  void parse() {
    QFETCH(QString, text);
    QFETCH(int, maxBytes);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QString error;
    const std::optional<QByteArray> parsed =
        core::ParseByteList(text, &error, maxBytes);
    QCOMPARE(parsed.value_or(QByteArray()), bytes);
    QCOMPARE(error.isEmpty(), parsed.has_value());
    QVERIFY2(error.contains(reason), qPrintable(error));
  }
};

QTEST_APPLESS_MAIN(ByteListTest)
#include "tst_byte_list.moc"
