// One report as a line of text in the log's own format: what Copy puts on
// the clipboard, what a text export writes and what the command-line tool
// prints.
#ifndef PINWORTH_EXPLORER_REPORT_LINE_H
#define PINWORTH_EXPLORER_REPORT_LINE_H

#include "core/interfaces/InterfaceIdentity.h"

#include <QChar>
#include <QString>

#include <cstdint>

namespace core {

// "A 1000 if1": the model's letter, the serial number, the interface number.
QString SourceText(const InterfaceIdentity &source);

// A report ID as the lines and pinworth show it: two lowercase hex digits,
// or "--" for kNoReportID.
QString ReportIDText(int32_t reportID);

// "      0.125000  A 1000 if1    W  05  84 54 65 73 74 00 00  <meaning>":
// seconds (since the first report), the source, the direction ('R', 'W',
// 'E' for an event, or '!' for a gap), the report ID ("--" for kNoReportID),
// the data bytes, what they mean. Every byte, the report ID included, is two
// lowercase hex digits without a prefix, as in CSV.
QString ReportTextLine(double seconds, const QString &source, QChar direction,
                       int32_t reportID, const uint8_t *data, int size,
                       const QString &meaning);

} // namespace core

#endif
