#include "app/capture/RecordRow.h"

#include <algorithm>

namespace explorer {

std::optional<LogRow> RowOfRecord(const capture::Record &record,
                                  const std::vector<uint16_t> &logSourceOf,
                                  int64_t timeBaseUS) {
  LogRow row;
  row.time = record.timeUS + timeBaseUS;
  row.source = record.source < logSourceOf.size() ? logSourceOf[record.source]
                                                  : LogRow::kNoSource;
  switch (record.kind) {
  case capture::RecordKind::Read:
  case capture::RecordKind::Written:
    row.reportID = record.hasReportID ? record.reportID : core::kNoReportID;
    row.flags =
        uint8_t(std::min<int>(record.size, kLogRowMaxDataSize)) |
        (record.kind == capture::RecordKind::Written ? LogRow::kOutputFlag : 0);
    std::copy_n(record.data.begin(), row.size(), row.data);
    return row;
  case capture::RecordKind::Loss:
    row.flags = LogRow::kLossFlag;
    row.reportID = int32_t(std::min<uint32_t>(record.count, INT32_MAX));
    return row;
  case capture::RecordKind::Event:
    if (record.eventKind < 1 || record.eventKind > 6)
      return std::nullopt;
    row.flags = LogRow::kEventFlag;
    row.data[0] = uint8_t(record.eventKind - 1);
    return row;
  case capture::RecordKind::WritingStopped:
    row.source = LogRow::kNoSource;
    row.flags = LogRow::kEventFlag;
    row.data[0] = uint8_t(LogEvent::CaptureStopped);
    return row;
  default:
    return std::nullopt;
  }
}

} // namespace explorer
