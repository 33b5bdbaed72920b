// What the reports of a Pinworth device mean, defined once for the simulated
// device and for the explorer's decoding of its log.
//
// Interface 0: 4-byte reports without report ID. A report written sets the
// latches of the 32 pins (port 0 first, bit n of port p is pin 8p+n); one
// read gives the pin levels: a pin is low when its latch is 0 or something
// outside pulls it low.
//
// Interface 1: 8-byte reports, the report ID and 7 data bytes:
// - kLCDModeReport, kInfraredReport: data byte 0 is 1 to switch the
//   function on, 0 to switch it off (any other value changes nothing);
// - kLCDWriteReport: data byte 0 is a control byte (kLCDDataRegister, and a
//   count in kLCDCountMask, at most kLCDMaxCount) and the bytes that follow
//   go to the display controller's data or instruction register;
// - kLCDReadReport: the control byte asks for count bytes of the data
//   register, or of the busy flag and address; the device answers with an
//   input report of the same ID, the control byte and the bytes read;
// - while infrared reception is on, each remote key comes as an input
//   report kInfraredReport, the address, the command.
// The display is driven by a character LCD controller: its instruction bits
// follow.
#ifndef PINWORTH_PLATFORM_PINWORTH_PROTOCOL_H
#define PINWORTH_PLATFORM_PINWORTH_PROTOCOL_H

#include <cstddef>
#include <cstdint>

namespace pinworth {

inline constexpr size_t kInterface0ReportSize = 4;
inline constexpr size_t kInterface1ReportSize = 8; // the ID and 7 data bytes
inline constexpr int kPinCount = 32;

// A whole report of interface interfaceNumber (0 or 1): the report ID, where
// it has one, and its data bytes.
constexpr size_t ReportSize(int interfaceNumber) {
  return interfaceNumber == 1 ? kInterface1ReportSize : kInterface0ReportSize;
}
constexpr size_t ReportDataSize(int interfaceNumber) {
  return ReportSize(interfaceNumber) - (interfaceNumber == 1 ? 1 : 0);
}
// Interface 0 sends nothing by itself: it is read by asking for its input
// report, 20 times a second.
inline constexpr uint8_t kPolledReportID = 0;
inline constexpr int kPollPeriodMS = 50;

inline constexpr uint8_t kLCDModeReport = 0x04;
inline constexpr uint8_t kLCDWriteReport = 0x05;
inline constexpr uint8_t kLCDReadReport = 0x06;
inline constexpr uint8_t kInfraredReport = 0x0C;

inline constexpr uint8_t kLCDCountMask = 0x07;
inline constexpr uint8_t kLCDDataRegister = 0x80;
inline constexpr size_t kLCDMaxCount = 6; // bytes after the control byte

// The LCD controller's instructions, recognised by their highest set bit.
namespace lcd_instruction {
inline constexpr uint8_t kClearDisplay = 0x01;
inline constexpr uint8_t kReturnHome = 0x02;
inline constexpr uint8_t kEntryModeSet = 0x04;
inline constexpr uint8_t kDisplayControl = 0x08;
inline constexpr uint8_t kCursorOrDisplayShift = 0x10;
inline constexpr uint8_t kFunctionSet = 0x20;
inline constexpr uint8_t kSetCharacterAddress = 0x40;
inline constexpr uint8_t kSetDisplayAddress = 0x80;
// Entry mode set.
inline constexpr uint8_t kIncrement = 0x02;
inline constexpr uint8_t kShiftOnWrite = 0x01;
// Display on/off control.
inline constexpr uint8_t kDisplayOn = 0x04;
inline constexpr uint8_t kCursorOn = 0x02;
inline constexpr uint8_t kBlinkOn = 0x01;
// Cursor or display shift.
inline constexpr uint8_t kShiftDisplay = 0x08;
inline constexpr uint8_t kToTheRight = 0x04;
// Function set.
inline constexpr uint8_t kEightBitBus = 0x10;
inline constexpr uint8_t kTwoLines = 0x08;
inline constexpr uint8_t kTallFont = 0x04;
} // namespace lcd_instruction

} // namespace pinworth

#endif
