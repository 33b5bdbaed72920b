// What an export writes for a capture, one format each: a header before
// the first record, each record it has a place for, and an ending. The
// records come in the capture's order.
#ifndef PINWORTH_INTEROP_EXPORT_SINK_H
#define PINWORTH_INTEROP_EXPORT_SINK_H

#include "capture/CaptureFormat.h"

#include <cstdint>

namespace interop {

// to - from, or from + to, wrapping rather than overflowing on the times of
// a corrupt capture.
inline int64_t TimeDifference(int64_t to, int64_t from) {
  return int64_t(uint64_t(to) - uint64_t(from));
}
inline int64_t TimeSum(int64_t a, int64_t b) {
  return int64_t(uint64_t(a) + uint64_t(b));
}

class ExportSink {
public:
  virtual ~ExportSink() = default;
  virtual void begin() {}
  // Record i; false when the format has no place for it (it is skipped).
  virtual bool add(uint64_t i, const capture::Record &record) = 0;
  virtual void end() {}
};

} // namespace interop

#endif
