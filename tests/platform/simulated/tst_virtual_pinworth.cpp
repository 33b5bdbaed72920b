// The simulated Pinworth device on its own: its display controller, the
// special-function reports of interface 1 and the pins of interface 0.
#include "platform/simulated/CharacterLcd.h"
#include "platform/simulated/VirtualPinworth.h"

#include <QStringList>
#include <QTest>

#include <vector>

using hid::sim::CharacterLcd;
using hid::sim::InputReport;
using hid::sim::Model;
using hid::sim::VirtualPinworth;

namespace {

QString hex(const std::vector<uint8_t> &bytes) {
  const auto *data = reinterpret_cast<const char *>(bytes.data());
  return QString::fromLatin1(
      QByteArray(data, qsizetype(bytes.size())).toHex(' '));
}

// A display line without its trailing blanks.
QString trimmed(const std::string &line) {
  QString text = QString::fromLatin1(line.data(), qsizetype(line.size()));
  while (text.endsWith(u' '))
    text.chop(1);
  return text;
}

// Runs controller steps: "i<hex bytes>" writes instructions, "d<bytes>" writes
// data, "r<count>" reads data; returns the bytes read.
std::vector<uint8_t> runSteps(CharacterLcd &lcd, const QByteArrayList &steps) {
  std::vector<uint8_t> read;
  for (const QByteArray &step : steps) {
    const QByteArray payload = step.mid(1);
    if (step.startsWith('i')) {
      for (char instruction : QByteArray::fromHex(payload))
        lcd.writeInstruction(uint8_t(instruction));
    } else if (step.startsWith('d')) {
      for (char data : payload)
        lcd.writeData(uint8_t(data));
    } else {
      for (int i = payload.toInt(); i > 0; --i)
        read.push_back(lcd.readData());
    }
  }
  return read;
}

// Runs controller steps; returns "[line 0|line 1] ac <busy flag and
// address>", then " read <bytes>" when something was read.
QString runController(const QByteArrayList &steps) {
  CharacterLcd lcd;
  const std::vector<uint8_t> read = runSteps(lcd, steps);
  QString state =
      QStringLiteral("[%1|%2] ac %3")
          .arg(trimmed(lcd.visibleLine(0)), trimmed(lcd.visibleLine(1)))
          .arg(lcd.readBusyFlagAndAddress(), 2, 16, QChar(u'0'));
  return read.empty() ? state : state + " read " + hex(read);
}

// Runs device steps: "<interface>: <hex bytes>" sends an output report,
// "get<interface>: <report ID>" asks for an input report, "key: <address>
// <command>" presses a remote key, "pull: <pin>" / "free: <pin>" holds a pin
// low or lets it go. Returns every report the device sent, as
// "<interface>: <bytes>", and each get-report answer as "get: <bytes>".
QStringList runDevice(VirtualPinworth &device, const QStringList &steps) {
  QStringList sent;
  for (const QString &step : steps) {
    const QString kind = step.section(u':', 0, 0);
    const QString argument = step.section(u':', 1).trimmed();
    const QByteArray bytes = QByteArray::fromHex(argument.toLatin1());
    std::vector<InputReport> reports;
    if (kind.startsWith("get"))
      sent << "get: " + hex(device.inputReport(kind.mid(3).toInt(),
                                               uint8_t(bytes.at(0))));
    else if (kind == "key")
      reports = device.pressRemoteKey(uint8_t(bytes[0]), uint8_t(bytes[1]));
    else if (kind == "pull" || kind == "free")
      reports = device.setPinPulledLow(argument.toInt(), kind == "pull");
    else
      reports = device.receiveOutputReport(
          kind.toInt(), reinterpret_cast<const uint8_t *>(bytes.data()),
          size_t(bytes.size()));
    for (const InputReport &report : reports)
      sent << QString::number(report.interfaceNumber) + ": " +
                  hex(report.bytes);
  }
  return sent;
}

// "lcd on|off, ir on|off, pins <levels>, [line 0|line 1]".
QString deviceState(const VirtualPinworth &device) {
  return QStringLiteral("lcd %1, ir %2, pins %3, [%4|%5]")
      .arg(device.lcdModeOn() ? "on" : "off",
           device.infraredOn() ? "on" : "off")
      .arg(device.pinLevels(), 8, 16, QChar(u'0'))
      .arg(trimmed(device.displayLine(0)), trimmed(device.displayLine(1)));
}

void row(const char *name, const QByteArrayList &steps, const QString &state) {
  QTest::newRow(name) << steps << state;
}

void row(const char *name, const QStringList &steps, const QStringList &sent,
         const QString &state) {
  QTest::newRow(name) << steps << sent << state;
}

// Steps after LCD mode and the display are switched on.
QStringList lcdOn(const QStringList &steps) {
  return QStringList{"1: 04 01", "1: 05 01 0c"} + steps;
}

} // namespace

class VirtualPinworthTest : public QObject {
  Q_OBJECT

private slots:
  void instructionSet_data() {
    QTest::addColumn<QByteArrayList>("steps");
    QTest::addColumn<QString>("state");
    row("power-up", {"i0c"}, "[|] ac 00");
    row("clear resets all",
        {"i0c", "dHello", "ic0", "dWorld", "i18", "i04", "i01", "dAB"},
        "[AB|] ac 02");
    row("home undoes the shift", {"i0c", "dHome", "i1818", "i02", "dh"},
        "[home|] ac 01");
    row("entry decrement", {"i0c", "i85", "i04", "dabc", "i06", "dd"},
        "[  dcba|] ac 03");
    row("entry increment, shift",
        {"i0c", "ic0", "d0123456789ABCDEF", "i90", "i07", "dHi"},
        "[              Hi|23456789ABCDEF] ac 12");
    row("reading never shifts", {"i0c", "dABC", "i07", "i80", "r3"},
        "[ABC|] ac 03 read 41 42 43");
    row("cursor shift", {"i0c", "dABCDEFGHIJKLMNOPQ", "i14", "i1010"},
        "[ABCDEFGHIJKLMNOP|] ac 10");
    row("display shift, both lines",
        {"i0c", "dABCDEFGHIJKLMNOPQ", "ic0", "dabcdefghijklmnopq", "i18"},
        "[BCDEFGHIJKLMNOPQ|bcdefghijklmnopq] ac 51");
    row("DDRAM 27 wraps to 40", {"i0c", "ia6", "dxyz", "ia6", "r3"},
        "[|z] ac 41 read 78 79 7a");
    row("DDRAM decrement wraps", {"i0c", "i04", "dm", "ic0", "dn"},
        "[m|n] ac 27");
    row("address 3f is 17", {"ibf"}, "[|] ac 17");
    row("CGRAM write and read",
        {"i0c", "d\x01", "i07", "i48", "d\x1f\x11\x11\x1f\x01\x0e\x0a\x0e",
         "i48", "r8"},
        "[\x01|] ac 10 read 1f 11 11 1f 01 0e 0a 0e");
    row("function set changes nothing",
        {"i0c", "dFunction", "i85", "i18", "i3830203c", "d!"},
        "[unct!on|] ac 06");
  }

  void instructionSet() {
    QFETCH(QByteArrayList, steps);
    QFETCH(QString, state);
    QCOMPARE(runController(steps), state);
  }

  // The cursor's place on the display follows the address counter and the
  // display shift; character RAM and cells shifted out of view have none.
  void cursorInView_data() {
    QTest::addColumn<QByteArrayList>("steps");
    QTest::addColumn<QString>("state");
    row("power-up", {}, "0.0");
    row("second line", {"ic5", "dab"}, "1.7");
    row("display shifted left", {"i8f", "i1818"}, "0.13");
    row("shifted out of view", {"i1818", "i81"}, "-");
    row("shifted right, wrapped", {"i1c", "ia7"}, "0.0");
    row("character RAM", {"i40"}, "-");
  }

  void cursorInView() {
    QFETCH(QByteArrayList, steps);
    QFETCH(QString, state);
    CharacterLcd lcd;
    runSteps(lcd, steps);
    const auto cursor = lcd.cursorInView();
    QCOMPARE(cursor
                 ? QStringLiteral("%1.%2").arg(cursor->line).arg(cursor->column)
                 : "-",
             state);
  }

  void reports_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("state");
    const QString idle = "lcd off, ir off, pins ffffffff, [|]";
    const QString lcd = "lcd on, ir off, pins ffffffff, ";
    row("mode off ignores 05 and 06, 02 keeps the mode",
        {"1: 05 82 41 42", "1: 05 01 0c", "1: 06 81", "1: 04 02", "1: 04 01",
         "1: 04 02", "1: 06 01", "1: 05 01 0c"},
        {"1: 06 01 00 00 00 00 00 00"}, lcd + "[|]");
    // The control byte, then the text its count writes.
    for (const QString count : {"80 ", "86 ABCDEF", "fa AB"})
      QTest::addRow("write count %s", qPrintable(count.left(2)))
          << lcdOn({"1: 05 " + count.left(2) + " 41 42 43 44 45 46 47 48"})
          << QStringList{} << lcd + "[" + count.mid(3) + "|]";
    row("instruction bytes in order, busy flag and address read",
        lcdOn({"1: 05 02 c0 80", "1: 06 01", "1: 05 02 80 c3", "1: 06 03",
               "1: 06 07"}),
        {"1: 06 01 00 00 00 00 00 00", "1: 06 03 43 43 43 00 00 00",
         "1: 06 07 43 43 43 43 43 43"},
        lcd + "[|]");
    row("06 reads data",
        lcdOn({"1: 05 86 41 42 43 44 45 46", "1: 05 01 80", "1: 06 83",
               "1: 06 83", "1: 06 80", "1: 05 01 80", "1: 06 87"}),
        {"1: 06 83 41 42 43 00 00 00", "1: 06 83 44 45 46 00 00 00",
         "1: 06 80 00 00 00 00 00 00", "1: 06 87 41 42 43 44 45 46"},
        lcd + "[ABCDEF|]");
    row("IR on, key, off",
        {"key: 12 34", "1: 0c 01", "1: 0c 02", "key: 12 34", "1: 0c 00",
         "1: 0c 02", "key: 12 34"},
        {"1: 0c 12 34 00 00 00 00 00"}, idle);
    for (const char *id : {"00", "0d", "ff"})
      QTest::addRow("unknown ID %s ignored", id)
          << lcdOn(
                 {"1: 0c 01", "1: 05 82 4f 4b", QString("1: %1 01 01").arg(id),
                  QString("1: %1 81 58").arg(id), QString("1: %1 00").arg(id)})
          << QStringList{} << "lcd on, ir on, pins ffffffff, [OK|]";
    row("latches reported on change only",
        {"get0: 55", "0: ff ff ff ff", "0: 0f f0 00 81", "0: 0f f0 00 81",
         "get0: 00"},
        {"get: ff ff ff ff", "0: 0f f0 00 81", "get: 0f f0 00 81"},
        "lcd off, ir off, pins 8100f00f, [|]");
    row("latches padded and cut", {"0: aa", "0: 01 02 03 04 05 06", "0:"},
        {"0: aa 00 00 00", "0: 01 02 03 04", "0: 00 00 00 00"},
        "lcd off, ir off, pins 00000000, [|]");
    row("pulls reported on change only, pins map to ports",
        {"pull: 9", "pull: 9", "0: ff ff ff ff", "free: 9", "free: 9",
         "pull: 15", "pull: 16", "pull: 31", "pull: 32", "pull: -1"},
        {"0: ff fd ff ff", "0: ff ff ff ff", "0: ff 7f ff ff", "0: ff 7f fe ff",
         "0: ff 7f fe 7f"},
        "lcd off, ir off, pins 7ffe7fff, [|]");
  }

  void reports() {
    QFETCH(QStringList, steps);
    QFETCH(QStringList, sent);
    QFETCH(QString, state);
    VirtualPinworth device(Model::PinworthB);
    QCOMPARE(runDevice(device, steps), sent);
    QCOMPARE(deviceState(device), state);
  }
};

QTEST_APPLESS_MAIN(VirtualPinworthTest)
#include "tst_virtual_pinworth.moc"
