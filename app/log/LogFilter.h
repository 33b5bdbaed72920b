// Which reports the log shows. A filter is text, terms separated by blanks,
// every term must hold:
//   R, W                 the direction
//   id:05, id:none       the report ID (hexadecimal), or none
//   src:B, src:B:2000:1  the source, by the start of its key ("B:2000:1")
//   06 84 ?? ??          the report's bytes from its start (the report ID
//                        byte when it has one, then the data), ?? any byte
//   event                the rows that are not reports: devices plugged in
//                        and out, reading started and stopped, reports lost
// Rows that are not reports are shown by their source alone, never by a
// report's terms; the markers of lost reports under every filter.
// The empty text shows every report.
#ifndef PINWORTH_EXPLORER_LOG_FILTER_H
#define PINWORTH_EXPLORER_LOG_FILTER_H

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <vector>

namespace explorer {

struct LogFilter {
  std::optional<bool> isOutput;
  std::optional<int32_t> reportID; // kNoReportID for "none"
  QString sourcePrefix;
  std::vector<int> pattern; // a byte, or -1 for any
  bool eventsOnly = false;  // "event"

  // The filter the text says, or no value with the reason in *error.
  static std::optional<LogFilter> Parse(QStringView text, QString *error);

  // Whether a report matches; sourceMatches is the verdict on its source.
  bool matches(bool isOutput, int32_t reportID, const uint8_t *data, int size,
               bool sourceMatches) const;
};

} // namespace explorer

#endif
