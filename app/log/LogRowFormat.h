// How a log's rows read as text: by the log's sources, the wall-clock time
// its clock began (a number: a QDateTime in local time asks the time zone's
// file each time) and the time of its first row. A copy is a value of its
// own (its lists are shared until the log changes its own), so that a thread
// of its own makes text of rows while the log grows.
#ifndef PINWORTH_EXPLORER_LOG_ROW_FORMAT_H
#define PINWORTH_EXPLORER_LOG_ROW_FORMAT_H

#include "app/log/LogRow.h"
#include "core/interfaces/InterfaceIdentity.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

namespace explorer {

struct LogRowFormat {
  QList<core::InterfaceIdentity> sources; // by a row's source index
  QList<QString> sourceTexts;             // "A 1000 if1", by source index
  int64_t clockStartUnixUS = 0;           // the log clock's start, since 1970
  int64_t startTimeUS = 0; // the log's start, the origin of its times

  // "-" for a row without source.
  QString sourceText(const LogRow &row) const;
  double secondsSinceStart(const LogRow &row) const {
    return double(row.time - startTimeUS) / 1e6;
  }
  // The Decoded column: what a report means, or what a loss marker or an
  // event says.
  QString decodedText(const LogRow &row) const;
  // The log's own text format (see ReportLine.h), one line without its end;
  // an event's line has "E" for its direction, a loss marker's "!".
  QString textLine(const LogRow &row) const;
  // A CSV record (RFC 4180, CRLF) as CsvHeader() names its fields; or
  // appended to out.
  QByteArray csvRecord(const LogRow &row) const;
  void appendCsvRecord(QByteArray &out, const LogRow &row) const;
};

} // namespace explorer

#endif
