// What a logged Pinworth report means, in words, for the log's "Decoded" and
// "ASCII" columns (see platform/PinworthProtocol.h for the protocol).
#ifndef PINWORTH_EXPLORER_REPORT_DECODER_H
#define PINWORTH_EXPLORER_REPORT_DECODER_H

#include <QString>

#include <cstdint>

// The meaning of a report written (isOutput) or read: an interface 0
// report when reportID is kNoReportID (the pins that are low), otherwise an
// interface 1 report: the display's mode, instructions (by name) and
// characters, the infrared receiver and its keys, or "unknown report ID".
QString DecodeReport(bool isOutput, int32_t reportID, const uint8_t *data,
                     int size);

// The data bytes as ASCII, with a dot for each byte that is not printable.
QString AsciiText(const uint8_t *data, int size);

#endif
