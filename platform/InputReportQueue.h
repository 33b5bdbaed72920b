// The interrupt reports of one armed handle on their way from the backend's
// reader thread to the handler, on the thread that armed the handle.
//
// Reports wait in a ring of kCapacity reports. When it is full, the report
// that arrives is dropped and counted, and the next report stored carries the
// count of those dropped just before it, so the handler learns where the gap
// is. A writer pushes from any thread and never blocks on the handler; the
// owner's event loop takes the reports in batches, in order, also while a
// modal dialog is up, each batch ending after kBatchMS so that input and
// painting go on. A batch takes everything queued, and the owner's thread is
// woken at most once a frame: after a batch has emptied the ring, reports wait
// for the end of the frame (kRestMS), unless kWakeCount of them are waiting
// first; a report that comes after a frame with none is taken at once.
//
// The ring belongs to the queue and to its writers together: a writer may
// outlive the queue, and then its reports go nowhere.
#ifndef PINWORTH_PLATFORM_INPUT_REPORT_QUEUE_H
#define PINWORTH_PLATFORM_INPUT_REPORT_QUEUE_H

#include "platform/HIDServices.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace hid {

class InputReportQueue {
public:
  static constexpr size_t kCapacity = 4096;
  static constexpr int kBatchMS = 4;
  static constexpr int kRestMS = 16;
  static constexpr size_t kWakeCount = kCapacity / 4;

  // Takes one report, size bytes (cut to the handler's buffer by the
  // caller), read at readAt, and the number of reports lost just before it;
  // report is null when there is only a loss to tell, at the end of the
  // queue (readAt then the last lost one's). It may destroy the queue.
  using Sink = std::function<void(const uint8_t *report, size_t size,
                                  uint64_t lost, ReportTime readAt)>;

  class Writer {
  public:
    // Stores a report read at readAt, or counts it lost when the ring is
    // full.
    void push(const uint8_t *report, size_t size, ReportTime readAt);

  private:
    friend class InputReportQueue;
    struct Shared;
    std::shared_ptr<Shared> shared_;
  };

  // Made on the thread whose event loop delivers to sink.
  explicit InputReportQueue(Sink sink);
  // No report reaches the sink afterwards, also none already taken out.
  ~InputReportQueue();
  InputReportQueue(const InputReportQueue &) = delete;
  InputReportQueue &operator=(const InputReportQueue &) = delete;

  Writer writer() const;
  // Reports dropped because the ring was full, since the queue was made.
  uint64_t lost() const;

private:
  struct Delivery;
  std::shared_ptr<Writer::Shared> shared_;
  std::shared_ptr<Delivery> delivery_;
};

} // namespace hid

#endif
