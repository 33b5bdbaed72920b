// The simulated Pinworth device on its own: its display controller, the
// special-function reports of interface 1, the pins of interface 0 and the
// default macros' effect on the display.
#include "platform/sim/HD44780.h"
#include "platform/sim/VirtualPinworth.h"

#include <QStringList>
#include <QTest>

#include <string>
#include <vector>

using hid::sim::HD44780;
using hid::sim::InputReport;
using hid::sim::Model;
using hid::sim::VirtualPinworth;

Q_DECLARE_METATYPE(Model)

namespace {

constexpr uint8_t kClear = 0x01;
constexpr uint8_t kHome = 0x02;
constexpr uint8_t kEntryDecrement = 0x04;
constexpr uint8_t kEntryDecrementShift = 0x05;
constexpr uint8_t kEntryIncrement = 0x06;
constexpr uint8_t kEntryIncrementShift = 0x07;
constexpr uint8_t kDisplayOff = 0x08;
constexpr uint8_t kDisplayOn = 0x0C;
constexpr uint8_t kDisplayCursorOn = 0x0E;
constexpr uint8_t kDisplayCursorBlinkOn = 0x0F;
constexpr uint8_t kCursorLeft = 0x10;
constexpr uint8_t kCursorRight = 0x14;
constexpr uint8_t kDisplayLeft = 0x18;
constexpr uint8_t kDisplayRight = 0x1C;
constexpr uint8_t kSetCharacterAddress = 0x40;
constexpr uint8_t kSetDisplayAddress = 0x80;

QString blank(int count) {
  return QString(count, u' ');
}

// A visible line padded with spaces to the display's width.
QString line(const QString &text) {
  return text + blank(HD44780::kVisibleColumns - text.size());
}

QString shown(const std::string &text) {
  return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

QByteArray hex(const std::vector<uint8_t> &bytes) {
  return QByteArray(reinterpret_cast<const char *>(bytes.data()),
                    qsizetype(bytes.size()))
      .toHex(' ');
}

// Each report as "interface: bytes".
QStringList describe(const std::vector<InputReport> &reports) {
  QStringList described;
  for (const InputReport &report : reports) {
    described << QString::number(report.interfaceNumber) + ": " +
                     QString::fromLatin1(hex(report.bytes));
  }
  return described;
}

void writeText(HD44780 &lcd, const std::string &text) {
  for (char c : text) {
    lcd.writeData(static_cast<uint8_t>(c));
  }
}

QString readText(HD44780 &lcd, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += static_cast<char>(lcd.readData());
  }
  return shown(text);
}

std::vector<InputReport> send(VirtualPinworth &device, int interfaceNumber,
                              std::vector<uint8_t> report) {
  return device.receiveOutputReport(interfaceNumber, report.data(),
                                    report.size());
}

// An 8-byte interface 1 report: the ID, the control byte, then payload.
std::vector<uint8_t> special(uint8_t reportID, uint8_t control,
                             const std::string &payload = {}) {
  std::vector<uint8_t> report(8, 0);
  report[0] = reportID;
  report[1] = control;
  for (size_t i = 0; i < payload.size() && i + 2 < report.size(); ++i) {
    report[2 + i] = static_cast<uint8_t>(payload[i]);
  }
  return report;
}

// A device in LCD mode whose display is on.
void switchDisplayOn(VirtualPinworth &device) {
  send(device, 1, special(0x04, 0x01));
  send(device, 1, special(0x05, 0x01, std::string(1, char(kDisplayOn))));
}

// The address counter as the device reports it.
uint8_t addressCounter(VirtualPinworth &device) {
  return send(device, 1, special(0x06, 0x01)).at(0).bytes.at(2);
}

} // namespace

class HD44780InstructionSet : public QObject {
  Q_OBJECT

private slots:
  void powerUpState() {
    HD44780 lcd;
    QVERIFY(!lcd.displayOn());
    QVERIFY(!lcd.cursorOn());
    QVERIFY(!lcd.cursorBlinks());
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x00);
    QCOMPARE(readText(lcd, 80), blank(80));
    lcd.writeInstruction(kDisplayOn);
    QCOMPARE(shown(lcd.visibleLine(0)), blank(16));
    QCOMPARE(shown(lcd.visibleLine(1)), blank(16));
  }

  void lineNumbersOutsideTheDisplayShowNothing() {
    HD44780 lcd;
    lcd.writeInstruction(kDisplayOn);
    QVERIFY(lcd.visibleLine(2).empty());
    QVERIFY(lcd.visibleLine(-1).empty());
  }

  void displayOnOffControl() {
    HD44780 lcd;
    writeText(lcd, "Hi");
    QCOMPARE(shown(lcd.visibleLine(0)), blank(16));
    lcd.writeInstruction(kDisplayOn);
    QCOMPARE(shown(lcd.visibleLine(0)), line("Hi"));
    QVERIFY(!lcd.cursorOn());
    lcd.writeInstruction(kDisplayCursorOn);
    QVERIFY(lcd.cursorOn());
    QVERIFY(!lcd.cursorBlinks());
    lcd.writeInstruction(kDisplayCursorBlinkOn);
    QVERIFY(lcd.cursorBlinks());
    lcd.writeInstruction(kDisplayOff);
    QVERIFY(!lcd.displayOn());
    QVERIFY(!lcd.cursorOn());
    QCOMPARE(shown(lcd.visibleLine(0)), blank(16));
    lcd.writeInstruction(kDisplayOn);
    QCOMPARE(shown(lcd.visibleLine(0)), line("Hi"));
  }

  void clearDisplay() {
    HD44780 lcd;
    lcd.writeInstruction(kDisplayOn);
    writeText(lcd, "Hello");
    lcd.writeInstruction(kSetDisplayAddress | 0x40);
    writeText(lcd, "World");
    lcd.writeInstruction(kDisplayLeft);
    lcd.writeInstruction(kEntryDecrement);
    lcd.writeInstruction(kClear);
    QCOMPARE(shown(lcd.visibleLine(0)), blank(16));
    QCOMPARE(shown(lcd.visibleLine(1)), blank(16));
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x00);
    writeText(lcd, "AB");
    QCOMPARE(shown(lcd.visibleLine(0)), line("AB"));
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x02);
  }

  void returnHomeKeepsText() {
    HD44780 lcd;
    lcd.writeInstruction(kDisplayOn);
    writeText(lcd, "Home");
    lcd.writeInstruction(kDisplayLeft);
    lcd.writeInstruction(kDisplayLeft);
    QCOMPARE(shown(lcd.visibleLine(0)), line("me"));
    lcd.writeInstruction(kHome);
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x00);
    QCOMPARE(shown(lcd.visibleLine(0)), line("Home"));
    writeText(lcd, "h");
    QCOMPARE(shown(lcd.visibleLine(0)), line("home"));
  }

  void entryModeDecrement() {
    HD44780 lcd;
    lcd.writeInstruction(kDisplayOn);
    lcd.writeInstruction(kSetDisplayAddress | 0x05);
    lcd.writeInstruction(kEntryDecrement);
    writeText(lcd, "abc");
    QCOMPARE(shown(lcd.visibleLine(0)), line("   cba"));
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x02);
    lcd.writeInstruction(kEntryIncrement);
    writeText(lcd, "d");
    QCOMPARE(shown(lcd.visibleLine(0)), line("  dcba"));
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x03);
  }

  void entryModeIncrementShiftsLeft() {
    HD44780 lcd;
    lcd.writeInstruction(kDisplayOn);
    lcd.writeInstruction(kSetDisplayAddress | 0x40);
    writeText(lcd, "0123456789ABCDEF");
    lcd.writeInstruction(kSetDisplayAddress | 0x10);
    lcd.writeInstruction(kEntryIncrementShift);
    writeText(lcd, "Hi");
    QCOMPARE(shown(lcd.visibleLine(0)), blank(14) + "Hi");
    QCOMPARE(shown(lcd.visibleLine(1)), line("23456789ABCDEF"));
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x12);
  }

  void entryModeDecrementShiftsRight() {
    HD44780 lcd;
    lcd.writeInstruction(kDisplayOn);
    lcd.writeInstruction(kEntryDecrementShift);
    writeText(lcd, "a");
    QCOMPARE(shown(lcd.visibleLine(0)), line(" a"));
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x67);
  }

  void readingNeverShifts() {
    HD44780 lcd;
    lcd.writeInstruction(kDisplayOn);
    writeText(lcd, "ABC");
    lcd.writeInstruction(kEntryIncrementShift);
    lcd.writeInstruction(kSetDisplayAddress);
    QCOMPARE(readText(lcd, 3), QString("ABC"));
    QCOMPARE(shown(lcd.visibleLine(0)), line("ABC"));
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x03);
  }

  void cursorShiftMovesTheAddressOnly() {
    HD44780 lcd;
    lcd.writeInstruction(kDisplayOn);
    writeText(lcd, "ABCDEFGHIJKLMNOPQ");
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x11);
    lcd.writeInstruction(kCursorRight);
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x12);
    lcd.writeInstruction(kCursorLeft);
    lcd.writeInstruction(kCursorLeft);
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x10);
    QCOMPARE(shown(lcd.visibleLine(0)), QString("ABCDEFGHIJKLMNOP"));
    lcd.writeInstruction(kSetDisplayAddress | 0x27);
    lcd.writeInstruction(kCursorRight);
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x40);
    lcd.writeInstruction(kCursorLeft);
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x27);
  }

  void displayShiftMovesBothLines() {
    HD44780 lcd;
    lcd.writeInstruction(kDisplayOn);
    writeText(lcd, "ABCDEFGHIJKLMNOPQ");
    lcd.writeInstruction(kSetDisplayAddress | 0x40);
    writeText(lcd, "abcdefghijklmnopq");
    lcd.writeInstruction(kDisplayLeft);
    QCOMPARE(shown(lcd.visibleLine(0)), QString("BCDEFGHIJKLMNOPQ"));
    QCOMPARE(shown(lcd.visibleLine(1)), QString("bcdefghijklmnopq"));
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x51);
    lcd.writeInstruction(kDisplayRight);
    lcd.writeInstruction(kDisplayRight);
    QCOMPARE(shown(lcd.visibleLine(0)), QString(" ABCDEFGHIJKLMNO"));
    QCOMPARE(shown(lcd.visibleLine(1)), QString(" abcdefghijklmno"));
    for (int i = 0; i < 41; ++i) {
      lcd.writeInstruction(kDisplayLeft);
    }
    QCOMPARE(shown(lcd.visibleLine(0)), QString("ABCDEFGHIJKLMNOP"));
  }

  void displayAddressesWrapIncrementing() {
    HD44780 lcd;
    lcd.writeInstruction(kDisplayOn);
    lcd.writeInstruction(kSetDisplayAddress | 0x26);
    writeText(lcd, "xyz");
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x41);
    lcd.writeInstruction(kSetDisplayAddress | 0x26);
    QCOMPARE(readText(lcd, 3), QString("xyz"));
    QCOMPARE(shown(lcd.visibleLine(1)), line("z"));
    lcd.writeInstruction(kSetDisplayAddress | 0x67);
    writeText(lcd, "pq");
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x01);
    QCOMPARE(shown(lcd.visibleLine(0)), line("q"));
  }

  void displayAddressesWrapDecrementing() {
    HD44780 lcd;
    lcd.writeInstruction(kDisplayOn);
    lcd.writeInstruction(kEntryDecrement);
    writeText(lcd, "m");
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x67);
    lcd.writeInstruction(kSetDisplayAddress | 0x40);
    writeText(lcd, "n");
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x27);
    QCOMPARE(shown(lcd.visibleLine(0)), line("m"));
    QCOMPARE(shown(lcd.visibleLine(1)), line("n"));
  }

  void addressesBeyondALineStayInIt() {
    HD44780 lcd;
    lcd.writeInstruction(kSetDisplayAddress | 0x28);
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x00);
    lcd.writeInstruction(kSetDisplayAddress | 0x3F);
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x17);
    lcd.writeInstruction(kSetDisplayAddress | 0x68);
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x40);
  }

  void secondLine() {
    HD44780 lcd;
    lcd.writeInstruction(kDisplayOn);
    lcd.writeInstruction(kSetDisplayAddress | 0x40);
    writeText(lcd, "Line two");
    QCOMPARE(shown(lcd.visibleLine(1)), line("Line two"));
    QCOMPARE(shown(lcd.visibleLine(0)), blank(16));
    lcd.writeInstruction(kSetDisplayAddress | 0x4F);
    writeText(lcd, "!");
    QCOMPARE(shown(lcd.visibleLine(1)), QString("Line two       !"));
  }

  void characterRAMWriteAndRead() {
    const std::vector<uint8_t> pattern = {0x1F, 0x11, 0x11, 0x1F,
                                          0x00, 0x0E, 0x0A, 0x0E};
    HD44780 lcd;
    lcd.writeInstruction(kDisplayOn);
    lcd.writeData(0x01);
    lcd.writeInstruction(kEntryIncrementShift);
    lcd.writeInstruction(kSetCharacterAddress | 0x08);
    for (uint8_t row : pattern) {
      lcd.writeData(row);
    }
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x10);
    QCOMPARE(shown(lcd.visibleLine(0)), line("\x01"));
    lcd.writeInstruction(kSetCharacterAddress | 0x08);
    std::vector<uint8_t> readBack;
    for (size_t i = 0; i < pattern.size(); ++i) {
      readBack.push_back(lcd.readData());
    }
    QCOMPARE(hex(readBack), hex(pattern));
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x10);
  }

  void characterRAMAddressesWrap() {
    HD44780 lcd;
    lcd.writeInstruction(kSetCharacterAddress | 0x3F);
    lcd.writeData(0xAA);
    lcd.writeData(0xBB);
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x01);
    lcd.writeInstruction(kSetCharacterAddress);
    QCOMPARE(lcd.readData(), 0xBB);
    lcd.writeInstruction(kEntryDecrement);
    lcd.writeInstruction(kSetCharacterAddress);
    QCOMPARE(lcd.readData(), 0xBB);
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x3F);
    QCOMPARE(lcd.readData(), 0xAA);
  }

  void busyFlagAndAddressRead() {
    HD44780 lcd;
    lcd.writeInstruction(kSetDisplayAddress | 0x45);
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x45);
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x45);
    lcd.writeInstruction(kSetCharacterAddress | 0x2A);
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x2A);
    lcd.writeInstruction(kSetDisplayAddress | 0x67);
    writeText(lcd, "x");
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x00);
    lcd.writeInstruction(kClear);
    QCOMPARE(lcd.readBusyFlagAndAddress() & 0x80, 0);
  }

  void functionSetChangesNothingElse() {
    HD44780 lcd;
    lcd.writeInstruction(kDisplayOn);
    writeText(lcd, "Function");
    lcd.writeInstruction(kSetDisplayAddress | 0x05);
    lcd.writeInstruction(kDisplayLeft);
    for (uint8_t instruction : {0x38, 0x30, 0x20, 0x3C}) {
      lcd.writeInstruction(instruction);
    }
    QVERIFY(lcd.displayOn());
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x05);
    QCOMPARE(shown(lcd.visibleLine(0)), line("unction"));
    writeText(lcd, "!");
    QCOMPARE(shown(lcd.visibleLine(0)), line("unct!on"));
    QCOMPARE(lcd.readBusyFlagAndAddress(), 0x06);
  }
};

class SpecialFunctionReports : public QObject {
  Q_OBJECT

private slots:
  void lcdModeSwitch() {
    VirtualPinworth device(Model::PinworthA);
    QVERIFY(!device.lcdModeOn());
    QVERIFY(send(device, 1, special(0x04, 0x01)).empty());
    QVERIFY(device.lcdModeOn());
    send(device, 1, special(0x04, 0x02));
    QVERIFY(device.lcdModeOn());
    send(device, 1, special(0x04, 0x00));
    QVERIFY(!device.lcdModeOn());
    send(device, 1, special(0x04, 0x02));
    QVERIFY(!device.lcdModeOn());
  }

  void displayReportsIgnoredWhileLCDModeOff() {
    VirtualPinworth device(Model::PinworthA);
    QVERIFY(send(device, 1, special(0x05, 0x01, "\x0C")).empty());
    QVERIFY(send(device, 1, special(0x05, 0x82, "AB")).empty());
    QVERIFY(send(device, 1, special(0x06, 0x81)).empty());
    send(device, 1, special(0x04, 0x01));
    QCOMPARE(describe(send(device, 1, special(0x06, 0x02))),
             QStringList{"1: 06 02 00 00 00 00 00 00"});
    send(device, 1, special(0x05, 0x01, "\x0C"));
    QCOMPARE(shown(device.displayLine(0)), blank(16));
    send(device, 1, special(0x04, 0x00));
    send(device, 1, special(0x05, 0x82, "AB"));
    QCOMPARE(shown(device.displayLine(0)), blank(16));
  }

  void displayKeepsItsTextWhenLCDModeEnds() {
    VirtualPinworth device(Model::PinworthB);
    switchDisplayOn(device);
    send(device, 1, special(0x05, 0x82, "OK"));
    send(device, 1, special(0x04, 0x00));
    QCOMPARE(shown(device.displayLine(0)), line("OK"));
  }

  void writeCountSendsThatManyBytes_data() {
    QTest::addColumn<int>("control");
    QTest::addColumn<QString>("expectedLine");
    QTest::addColumn<int>("expectedAddress");
    QTest::newRow("0 bytes") << 0x80 << blank(16) << 0;
    QTest::newRow("1 byte") << 0x81 << line("A") << 1;
    QTest::newRow("3 bytes") << 0x83 << line("ABC") << 3;
    QTest::newRow("6 bytes") << 0x86 << line("ABCDEF") << 6;
    QTest::newRow("7 is 6") << 0x87 << line("ABCDEF") << 6;
    QTest::newRow("bits 3-6 ignored") << 0xFA << line("AB") << 2;
  }

  void writeCountSendsThatManyBytes() {
    QFETCH(int, control);
    QFETCH(QString, expectedLine);
    QFETCH(int, expectedAddress);
    VirtualPinworth device(Model::PinworthA);
    switchDisplayOn(device);
    std::vector<uint8_t> report = {
        0x05, uint8_t(control), 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'};
    QVERIFY(send(device, 1, report).empty());
    QCOMPARE(shown(device.displayLine(0)), expectedLine);
    QCOMPARE(addressCounter(device), expectedAddress);
  }

  void instructionBytesGoInOrder() {
    VirtualPinworth device(Model::PinworthA);
    switchDisplayOn(device);
    send(device, 1, special(0x05, 0x02, "\xC0\x80"));
    QCOMPARE(addressCounter(device), 0x00);
    send(device, 1, special(0x05, 0x02, "\x80\xC0"));
    QCOMPARE(addressCounter(device), 0x40);
  }

  void readingDisplayDataAnswers() {
    VirtualPinworth device(Model::PinworthA);
    switchDisplayOn(device);
    send(device, 1, special(0x05, 0x86, "ABCDEF"));
    send(device, 1, special(0x05, 0x01, "\x80"));
    QCOMPARE(describe(send(device, 1, special(0x06, 0x83))),
             QStringList{"1: 06 83 41 42 43 00 00 00"});
    QCOMPARE(describe(send(device, 1, special(0x06, 0x83))),
             QStringList{"1: 06 83 44 45 46 00 00 00"});
    QCOMPARE(describe(send(device, 1, special(0x06, 0x80))),
             QStringList{"1: 06 80 00 00 00 00 00 00"});
    send(device, 1, special(0x05, 0x01, "\x80"));
    QCOMPARE(describe(send(device, 1, special(0x06, 0x87))),
             QStringList{"1: 06 87 41 42 43 44 45 46"});
    QCOMPARE(addressCounter(device), 0x06);
  }

  void readingBusyFlagAndAddressAnswers() {
    VirtualPinworth device(Model::PinworthA);
    switchDisplayOn(device);
    send(device, 1, special(0x05, 0x01, "\xC3"));
    QCOMPARE(describe(send(device, 1, special(0x06, 0x03))),
             QStringList{"1: 06 03 43 43 43 00 00 00"});
    QCOMPARE(describe(send(device, 1, special(0x06, 0x07))),
             QStringList{"1: 06 07 43 43 43 43 43 43"});
  }

  void shortAndLongReports() {
    VirtualPinworth device(Model::PinworthA);
    std::vector<uint8_t> lcdOn = {0x04, 0x01};
    send(device, 1, lcdOn);
    QVERIFY(device.lcdModeOn());
    std::vector<uint8_t> idOnly = {0x04};
    send(device, 1, idOnly);
    QVERIFY(!device.lcdModeOn());
    QVERIFY(device.receiveOutputReport(1, nullptr, 0).empty());
    QVERIFY(!device.lcdModeOn());
  }

  void infraredReception() {
    VirtualPinworth device(Model::PinworthB);
    QVERIFY(!device.infraredOn());
    QVERIFY(device.pressRemoteKey(0x12, 0x34).empty());
    QVERIFY(send(device, 1, special(0x0C, 0x01)).empty());
    QVERIFY(device.infraredOn());
    QCOMPARE(describe(device.pressRemoteKey(0x12, 0x34)),
             QStringList{"1: 0c 12 34 00 00 00 00 00"});
    send(device, 1, special(0x0C, 0x02));
    QVERIFY(device.infraredOn());
    send(device, 1, special(0x0C, 0x00));
    QVERIFY(!device.infraredOn());
    QVERIFY(device.pressRemoteKey(0x12, 0x34).empty());
  }

  void otherReportIDsIgnored_data() {
    QTest::addColumn<int>("reportID");
    for (int id : {0x00, 0x01, 0x03, 0x07, 0x0B, 0x0D, 0x85, 0xFF}) {
      QTest::addRow("0x%02x", id) << id;
    }
  }

  void otherReportIDsIgnored() {
    QFETCH(int, reportID);
    VirtualPinworth device(Model::PinworthB);
    switchDisplayOn(device);
    send(device, 1, special(0x0C, 0x01));
    send(device, 1, special(0x05, 0x82, "OK"));
    QVERIFY(send(device, 1, special(uint8_t(reportID), 0x00)).empty());
    QVERIFY(send(device, 1, special(uint8_t(reportID), 0x01, "\x01")).empty());
    QVERIFY(send(device, 1, special(uint8_t(reportID), 0x81, "X")).empty());
    QVERIFY(device.lcdModeOn());
    QVERIFY(device.infraredOn());
    QCOMPARE(shown(device.displayLine(0)), line("OK"));
  }

  void getReportAnswersTheIDThenZeros() {
    VirtualPinworth device(Model::PinworthA);
    switchDisplayOn(device);
    send(device, 1, special(0x05, 0x82, "OK"));
    QCOMPARE(hex(device.inputReport(1, 0x06)),
             QByteArray("06 00 00 00 00 00 00 00"));
    QCOMPARE(hex(device.inputReport(1, 0x42)),
             QByteArray("42 00 00 00 00 00 00 00"));
  }

  void otherInterfaceNumbersIgnored() {
    VirtualPinworth device(Model::PinworthA);
    QVERIFY(send(device, 2, special(0x04, 0x01)).empty());
    QVERIFY(send(device, -1, {0x00, 0x00, 0x00, 0x00}).empty());
    QVERIFY(!device.lcdModeOn());
    QCOMPARE(device.pinLevels(), 0xFFFFFFFFu);
    QVERIFY(device.inputReport(2, 0x00).empty());
  }
};

class PinPorts : public QObject {
  Q_OBJECT

private slots:
  void allPinsHighAtAttach() {
    VirtualPinworth device(Model::PinworthA);
    QCOMPARE(device.pinLevels(), 0xFFFFFFFFu);
    QCOMPARE(hex(device.inputReport(0, 0x00)), QByteArray("ff ff ff ff"));
    QCOMPARE(hex(device.inputReport(0, 0x55)), QByteArray("ff ff ff ff"));
  }

  void latchWriteSetsPinsAndReportsTheChange() {
    VirtualPinworth device(Model::PinworthA);
    QCOMPARE(describe(send(device, 0, {0x0F, 0xF0, 0x00, 0x81})),
             QStringList{"0: 0f f0 00 81"});
    QCOMPARE(device.pinLevels(), 0x8100F00Fu);
    QCOMPARE(hex(device.inputReport(0, 0x00)), QByteArray("0f f0 00 81"));
  }

  void unchangedLevelsSendNothing() {
    VirtualPinworth device(Model::PinworthA);
    QVERIFY(send(device, 0, {0xFF, 0xFF, 0xFF, 0xFF}).empty());
    send(device, 0, {0x0F, 0xF0, 0x00, 0x81});
    QVERIFY(send(device, 0, {0x0F, 0xF0, 0x00, 0x81}).empty());
  }

  void pulledPinReadsLow() {
    VirtualPinworth device(Model::PinworthA);
    QCOMPARE(describe(device.setPinPulledLow(9, true)),
             QStringList{"0: ff fd ff ff"});
    QCOMPARE(device.pinLevels(), ~(1u << 9));
    QVERIFY(device.setPinPulledLow(9, true).empty());
    QVERIFY(send(device, 0, {0xFF, 0xFF, 0xFF, 0xFF}).empty());
    QCOMPARE(describe(device.setPinPulledLow(9, false)),
             QStringList{"0: ff ff ff ff"});
    QVERIFY(device.setPinPulledLow(9, false).empty());
  }

  void pullOnALowLatchChangesNothing() {
    VirtualPinworth device(Model::PinworthA);
    send(device, 0, {0x00, 0xFF, 0xFF, 0xFF});
    QVERIFY(device.setPinPulledLow(3, true).empty());
    QCOMPARE(describe(send(device, 0, {0xFF, 0xFF, 0xFF, 0xFF})),
             QStringList{"0: f7 ff ff ff"});
    QCOMPARE(describe(device.setPinPulledLow(3, false)),
             QStringList{"0: ff ff ff ff"});
  }

  void pinsMapToPortsAndBits_data() {
    QTest::addColumn<int>("pin");
    for (int pin : {0, 7, 8, 15, 16, 23, 24, 31}) {
      QTest::addRow("pin %d", pin) << pin;
    }
  }

  void pinsMapToPortsAndBits() {
    QFETCH(int, pin);
    VirtualPinworth device(Model::PinworthB);
    const std::vector<InputReport> reports = device.setPinPulledLow(pin, true);
    QCOMPARE(reports.size(), size_t(1));
    std::vector<uint8_t> expected(4, 0xFF);
    expected[pin / 8] = uint8_t(~(1u << (pin % 8)));
    QCOMPARE(hex(reports[0].bytes), hex(expected));
    QCOMPARE(device.pinLevels(), ~(1u << pin));
  }

  void pinsOutsideThePortsIgnored() {
    VirtualPinworth device(Model::PinworthA);
    QVERIFY(device.setPinPulledLow(32, true).empty());
    QVERIFY(device.setPinPulledLow(-1, true).empty());
    QCOMPARE(device.pinLevels(), 0xFFFFFFFFu);
  }

  void shortAndLongLatchReports() {
    VirtualPinworth device(Model::PinworthA);
    QCOMPARE(describe(send(device, 0, {0xAA})), QStringList{"0: aa 00 00 00"});
    QCOMPARE(describe(send(device, 0, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06})),
             QStringList{"0: 01 02 03 04"});
    QCOMPARE(describe(device.receiveOutputReport(0, nullptr, 0)),
             QStringList{"0: 00 00 00 00"});
  }
};

class DefaultMacroSequence : public QObject {
  Q_OBJECT

private slots:
  void macrosPutTestOnTheDisplay_data() {
    QTest::addColumn<Model>("model");
    QTest::newRow("PinworthA") << Model::PinworthA;
    QTest::newRow("PinworthB") << Model::PinworthB;
  }

  void macrosPutTestOnTheDisplay() {
    QFETCH(Model, model);
    VirtualPinworth device(model);
    QCOMPARE(device.model(), model);
    const std::vector<std::vector<uint8_t>> silentMacros = {
        {0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
        {0x05, 0x03, 0x38, 0x01, 0x0F, 0x00, 0x00, 0x00},
        {0x05, 0x84, 0x54, 0x65, 0x73, 0x74, 0x00, 0x00},
        {0x05, 0x01, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00},
    };
    for (const std::vector<uint8_t> &macro : silentMacros) {
      QVERIFY(send(device, 1, macro).empty());
    }
    QCOMPARE(describe(send(device, 1, special(0x06, 0x84))),
             QStringList{"1: 06 84 54 65 73 74 00 00"});
    QCOMPARE(shown(device.displayLine(0)), QString("Test            "));
    QCOMPARE(shown(device.displayLine(1)), blank(16));
  }

  void infraredMacroEnablesRemoteKeys() {
    VirtualPinworth device(Model::PinworthB);
    QVERIFY(send(device, 1, {0x0C, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00})
                .empty());
    QCOMPARE(describe(device.pressRemoteKey(0x00, 0x16)),
             QStringList{"1: 0c 00 16 00 00 00 00 00"});
  }
};

int main(int argc, char **argv) {
  int failures = 0;
  HD44780InstructionSet instructionSet;
  failures += QTest::qExec(&instructionSet, argc, argv);
  SpecialFunctionReports specialFunctions;
  failures += QTest::qExec(&specialFunctions, argc, argv);
  PinPorts pinPorts;
  failures += QTest::qExec(&pinPorts, argc, argv);
  DefaultMacroSequence defaultMacros;
  failures += QTest::qExec(&defaultMacros, argc, argv);
  return failures == 0 ? 0 : 1;
}

#include "tst_virtual_pinworth.moc"
