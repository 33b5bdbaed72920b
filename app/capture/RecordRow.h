// A capture's record as a row of the log that shows it.
#ifndef PINWORTH_EXPLORER_RECORD_ROW_H
#define PINWORTH_EXPLORER_RECORD_ROW_H

#include "app/log/LogRow.h"
#include "capture/CaptureFormat.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace explorer {

// The row of record, its source mapped by logSourceOf (the log's index of
// each of the capture's sources; kNoSource past its end) and its time moved
// by timeBaseUS; none for a record that is not a row (an event's text, a
// kind a newer writer added, a corrupt one).
std::optional<LogRow> RowOfRecord(const capture::Record &record,
                                  const std::vector<uint16_t> &logSourceOf,
                                  int64_t timeBaseUS = 0);

} // namespace explorer

#endif
