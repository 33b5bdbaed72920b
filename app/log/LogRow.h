// One row of the report log: a report sent or read, a marker of reports
// lost, or an event, in 24 bytes with no heap object.
#ifndef PINWORTH_EXPLORER_LOG_ROW_H
#define PINWORTH_EXPLORER_LOG_ROW_H

#include "core/reports/ReportRecord.h"

#include <cstdint>

namespace explorer {

// The most data bytes a log row keeps: a report of an interface 1 is a report
// ID byte and 7 data bytes, and one of an interface 0 is 4 data bytes.
inline constexpr int kLogRowMaxDataSize = 7;

// What a row that is not a report says happened.
enum class LogEvent : uint8_t {
  Unplugged,        // the source's device left
  PluggedIn,        // the source's device came (back)
  ListeningStarted, // on the source, an interface 1
  ListeningStopped,
  PollingStarted, // on the source, an interface 0
  PollingStopped,
  CaptureStopped, // no source: the log is written to disk no more
};

// One logged report, or a row that is not one: a loss marker or an event.
struct LogRow {
  int64_t time = 0; // microseconds on the log's clock
  int32_t reportID = core::kNoReportID;
  uint16_t source = 0; // an index into the log's interfaces, or kNoSource
  uint8_t flags = 0;   // kOutputFlag, and the data size in kSizeMask
  uint8_t data[kLogRowMaxDataSize] = {};

  static constexpr uint16_t kNoSource = 0xFFFF;
  static constexpr uint8_t kOutputFlag = 0x80; // sent ("W"), not read ("R")
  // Not a report: reports were lost here, as many as reportID says.
  static constexpr uint8_t kLossFlag = 0x40;
  // data[0] of a loss marker whose reports the log had no memory left for.
  static constexpr uint8_t kMemoryFullLoss = 1;
  // Not a report: an event, the LogEvent in data[0].
  static constexpr uint8_t kEventFlag = 0x20;
  static constexpr uint8_t kSizeMask = 0x07;
  bool isOutput() const { return flags & kOutputFlag; }
  bool isLoss() const { return flags & kLossFlag; }
  bool isEvent() const { return flags & kEventFlag; }
  bool isReport() const { return !(flags & (kLossFlag | kEventFlag)); }
  int size() const { return flags & kSizeMask; }
};
static_assert(sizeof(LogRow) <= 24);

} // namespace explorer

#endif
