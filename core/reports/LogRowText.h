// The words and CSV of the log's rows, shared by the log and the export of
// a capture: what an event, a gap and the end of disk writing say, and a
// row as a CSV record (RFC 4180) under the log's header.
#ifndef PINWORTH_CORE_LOG_ROW_TEXT_H
#define PINWORTH_CORE_LOG_ROW_TEXT_H

#include "capture/CaptureFormat.h"
#include "core/interfaces/InterfaceIdentity.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace core {

inline constexpr int kCsvDataColumns = capture::kMaxDataSize;

// What happened, first: "unplugged: PinworthA (SN 1000)", "started
// listening: PinworthA (SN 1000) Interface 1", ...; empty
// for a kind this program does not know.
QString EventRowText(capture::EventKind kind, const InterfaceIdentity &source);
// The same for an event whose interface is not known (a damaged table).
QString EventRowText(capture::EventKind kind);
QString LossRowText(uint32_t count);
// The last row of a log whose memory is full: count reports not kept.
QString MemoryFullRowText(uint32_t count);
QString WritingStoppedRowText();

// "time,wall_time,source,direction,report_id,byte_0,...,decoded" and CRLF.
QByteArray CsvHeader();
// "2026-12-07T16:00:00.123456Z".
QByteArray IsoWallTime(int64_t unixUS);

struct CsvRow {
  double seconds = 0;
  int64_t unixUS = 0;
  QString source;              // "-" for none
  const char *direction = "R"; // "R", "W", "lost" or "event"
  int32_t reportID = -1;       // -1 for none
  const uint8_t *data = nullptr;
  int size = 0;
  QString decoded;
};
// The row as a CSV record, CRLF at its end; appended to record.
QByteArray CsvRecord(const CsvRow &row);
void AppendCsvRecord(QByteArray &record, const CsvRow &row);

} // namespace core

#endif
