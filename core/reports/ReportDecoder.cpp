#include "core/reports/ReportDecoder.h"

#include "core/reports/ReportRecord.h"

#include "platform/PinworthProtocol.h"

#include <QStringList>

#include <algorithm>

namespace core {

using namespace pinworth;

static_assert(kPinPorts == int(kInterface0ReportSize) &&
              kPinPorts * kPinsPerPort == kPinCount);

namespace {

// "0-3, 12, 31" for the pins whose bit is clear, or an empty string.
QString LowPins(const uint8_t *data, int size) {
  QStringList runs;
  const int pins = std::min(size, kPinPorts) * kPinsPerPort;
  for (int pin = 0; pin < pins;) {
    if (PinHigh(data, size, pin)) {
      ++pin;
      continue;
    }
    int last = pin;
    while (last + 1 < pins && !PinHigh(data, size, last + 1))
      ++last;
    runs << (last == pin ? QString::number(pin)
                         : QStringLiteral("%1-%2").arg(pin).arg(last));
    pin = last + 1;
  }
  return runs.join(QStringLiteral(", "));
}

QString Pins(bool isOutput, const uint8_t *data, int size) {
  const QString low = LowPins(data, size);
  if (isOutput)
    return low.isEmpty() ? QStringLiteral("latches: all high")
                         : "latches: pins " + low + " low";
  return low.isEmpty() ? QStringLiteral("all pins high")
                       : "pins " + low + " low";
}

QString Switch(const char *function, uint8_t value) {
  if (value > 1)
    return QStringLiteral("%1: 0x%2 changes nothing")
        .arg(QLatin1String(function))
        .arg(value, 2, 16, QChar(u'0'));
  return QStringLiteral("%1 %2").arg(QLatin1String(function),
                                     value ? "on" : "off");
}

QString Quoted(const uint8_t *bytes, int count) {
  QString text = QStringLiteral("\"");
  for (int i = 0; i < count; ++i)
    text += bytes[i] >= 0x20 && bytes[i] < 0x7F
                ? QString(QChar(bytes[i]))
                : QStringLiteral("\\x%1").arg(bytes[i], 2, 16, QChar(u'0'));
  return text + '"';
}

QString OnOff(bool on) {
  return on ? QStringLiteral("on") : QStringLiteral("off");
}

QString Instruction(uint8_t instruction) {
  using namespace lcd_instruction;
  const auto hex = [](unsigned value) {
    return QStringLiteral("0x%1").arg(value, 2, 16, QChar(u'0'));
  };
  if (instruction & kSetDisplayAddress)
    return "set display address " + hex(instruction & ~kSetDisplayAddress);
  if (instruction & kSetCharacterAddress)
    return "set character address " + hex(instruction & ~kSetCharacterAddress);
  if (instruction & kFunctionSet)
    return QStringLiteral("function set: %1-bit, %2 lines, 5x%3")
        .arg(instruction & kEightBitBus ? 8 : 4)
        .arg(instruction & kTwoLines ? 2 : 1)
        .arg(instruction & kTallFont ? 10 : 8);
  if (instruction & kCursorOrDisplayShift)
    return QStringLiteral("%1 %2").arg(
        instruction & kShiftDisplay ? "shift display" : "move cursor",
        instruction & kToTheRight ? "right" : "left");
  if (instruction & kDisplayControl)
    return QStringLiteral("display %1, cursor %2, blink %3")
        .arg(OnOff(instruction & kDisplayOn), OnOff(instruction & kCursorOn),
             OnOff(instruction & kBlinkOn));
  if (instruction & kEntryModeSet)
    return QStringLiteral("entry mode: %1%2")
        .arg(instruction & kIncrement ? "increment" : "decrement",
             instruction & kShiftOnWrite ? ", shift" : "");
  if (instruction & kReturnHome)
    return QStringLiteral("return home");
  if (instruction & kClearDisplay)
    return QStringLiteral("clear display");
  return QStringLiteral("no instruction");
}

QString LCDTransfer(bool isOutput, uint8_t reportID, const uint8_t *data,
                    int size) {
  if (size < 1)
    return QStringLiteral("LCD: no control byte");
  const uint8_t control = data[0];
  const int count =
      std::min<int>({control & kLCDCountMask, int(kLCDMaxCount), size - 1});
  const bool dataRegister = control & kLCDDataRegister;
  const uint8_t *payload = data + 1;
  if (reportID == kLCDReadReport && isOutput)
    return QStringLiteral("LCD read request: %1 %2")
        .arg(control & kLCDCountMask)
        .arg(dataRegister ? "characters" : "busy flag and address reads");
  if (reportID == kLCDReadReport && !dataRegister) {
    QStringList reads;
    for (int i = 0; i < count; ++i)
      reads << QStringLiteral("busy %1, address 0x%2")
                   .arg(payload[i] >> 7)
                   .arg(payload[i] & 0x7F, 2, 16, QChar(u'0'));
    return "LCD read: " + reads.join(QStringLiteral("; "));
  }
  if (reportID == kLCDReadReport)
    return "LCD read: " + Quoted(payload, count);
  if (count == 0)
    return QStringLiteral("LCD write: nothing");
  if (dataRegister)
    return "LCD write: " + Quoted(payload, count);
  QStringList instructions;
  for (int i = 0; i < count; ++i)
    instructions << Instruction(payload[i]);
  return "LCD: " + instructions.join(QStringLiteral("; "));
}

} // namespace

QString DecodeReport(bool isOutput, int32_t reportID, const uint8_t *data,
                     int size) {
  if (reportID == kNoReportID)
    return Pins(isOutput, data, size);
  const uint8_t first = size > 0 ? data[0] : 0;
  switch (reportID) {
  case kLCDModeReport:
    return Switch("LCD mode", first);
  case kInfraredReport:
    if (isOutput)
      return Switch("infrared reception", first);
    return QStringLiteral("IR key: address 0x%1, command 0x%2")
        .arg(first, 2, 16, QChar(u'0'))
        .arg(size > 1 ? data[1] : 0, 2, 16, QChar(u'0'));
  case kLCDWriteReport:
  case kLCDReadReport:
    return LCDTransfer(isOutput, uint8_t(reportID), data, size);
  default:
    return QStringLiteral("unknown report ID 0x%1")
        .arg(unsigned(reportID), 2, 16, QChar(u'0'));
  }
}

QString AsciiText(const uint8_t *data, int size) {
  QString text(size, u'.');
  for (int i = 0; i < size; ++i)
    if (data[i] >= 0x20 && data[i] < 0x7F)
      text[i] = QChar(data[i]);
  return text;
}

} // namespace core
