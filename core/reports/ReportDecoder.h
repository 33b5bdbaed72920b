// What a logged Pinworth report means, in words, for the log's "Decoded" and
// "ASCII" columns (see platform/PinworthProtocol.h for the protocol), and
// how an interface 0 report numbers its pins, for the log and the
// explorer's pin grid alike.
#ifndef PINWORTH_EXPLORER_REPORT_DECODER_H
#define PINWORTH_EXPLORER_REPORT_DECODER_H

#include <QString>

#include <cstdint>

namespace core {

// The pins of an interface 0 report: pin 0..31 is bit pin % 8 of byte
// pin / 8, the byte of its port (port 0 first); a set bit is a high level
// (read) or latch (written).
inline constexpr int kPinsPerPort = 8;
inline constexpr int kPinPorts = 4;
constexpr int PortOfPin(int pin) {
  return pin / kPinsPerPort;
}
constexpr int BitOfPin(int pin) {
  return pin % kPinsPerPort;
}
constexpr uint8_t PinMask(int pin) {
  return uint8_t(1u << BitOfPin(pin));
}
// Whether pin is high in report; a pin past its size bytes is not.
constexpr bool PinHigh(const uint8_t *report, int size, int pin) {
  return PortOfPin(pin) < size && (report[PortOfPin(pin)] & PinMask(pin));
}

// The meaning of a report written (isOutput) or read: an interface 0
// report when reportID is kNoReportID (the pins that are low), otherwise an
// interface 1 report: the display's mode, instructions (by name) and
// characters, the infrared receiver and its keys, or "unknown report ID".
QString DecodeReport(bool isOutput, int32_t reportID, const uint8_t *data,
                     int size);

// The data bytes as ASCII, with a dot for each byte that is not printable.
QString AsciiText(const uint8_t *data, int size);

} // namespace core

#endif
