// The interrupt-report handler of one interface handle, for every backend.
//
// It keeps the handler (buffer, size, callback, target, refcon), the report
// queue the reports wait in on their way to it, and the count of reports
// lost, and it follows DeviceInterface::setInterruptReportHandlerCallback:
// installing replaces the handler and the new one takes over the reports on
// their way; removing it, closing the handle or destroying it drops them; a
// loss is told first, with kErrorOverrun and the number lost as bufferSize.
//
// A backend owns one per handle and gives it an InterruptSource: whether the
// handle is open and its device still there, and how to start and stop the
// device's reports flowing into a queue. The backend tells it when the
// handle was opened or closed.
//
// The handler may close, re-arm or release its handle from inside any call,
// also the loss call: after each call nothing is touched unless the reading
// that delivered still goes on, and every report is checked again against
// the source before it is handed over.
#ifndef PINWORTH_PLATFORM_INTERRUPT_DELIVERY_H
#define PINWORTH_PLATFORM_INTERRUPT_DELIVERY_H

#include "platform/HIDServices.h"
#include "platform/InputReportQueue.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace hid {

// What a backend's handle does for its interrupt reports.
class InterruptSource {
public:
  virtual bool isOpen() const = 0;
  virtual bool deviceGone() const = 0;
  // What installing a handler on the closed handle answers (the handler then
  // waits for the next open): why the last open failed, or kErrorNotOpen.
  virtual Status closedStatus() const = 0;
  // The device's reports go into writer from now on; false when they cannot.
  virtual bool startReading(InputReportQueue::Writer writer) = 0;
  // No report goes into the writer any more.
  virtual void stopReading() = 0;

protected:
  ~InterruptSource() = default;
};

class InterruptDelivery {
public:
  // sender is handed to every call; source must outlive this object, whose
  // destructor still stops its reading: a handle that is its own source makes
  // it its last member.
  InterruptDelivery(DeviceInterface *sender, InterruptSource &source);
  ~InterruptDelivery();
  InterruptDelivery(const InterruptDelivery &) = delete;
  InterruptDelivery &operator=(const InterruptDelivery &) = delete;

  // DeviceInterface::setInterruptReportHandlerCallback: a null callback
  // removes the handler (kSuccess, also on a gone device); otherwise
  // kErrorNoDevice when the device is gone, kErrorBadArgument without a
  // buffer, and on a closed handle the source's closedStatus().
  Status setHandler(void *buffer, uint32_t bufferSize, ReportCallback callback,
                    void *target, void *refcon);
  bool hasHandler() const { return handler_.has_value(); }
  // DeviceInterface::lostInterruptReports.
  uint64_t lost() const;
  // DeviceInterface::interruptReportTime.
  ReportTime reportTime() const { return deliveredAt_; }

  // The handle was opened: reading starts when a handler waits for it.
  void opened();
  // The handle was closed: reading stops, and the reports on their way go.
  void closed();

private:
  struct Handler {
    uint8_t *buffer;
    uint32_t bufferSize;
    ReportCallback callback;
    void *target;
    void *refcon;
  };

  void startReading();
  void stopReading();
  bool mayDeliver() const;
  void deliver(const uint8_t *report, size_t size, uint64_t lost,
               ReportTime readAt);

  DeviceInterface *sender_;
  InterruptSource &source_;
  std::optional<Handler> handler_;
  // Reports on their way to the handler; made on the thread that installed
  // it, a replacing handler takes them over.
  std::unique_ptr<InputReportQueue> reports_;
  bool reading_ = false;
  uint64_t lostByEarlierQueues_ = 0;
  ReportTime deliveredAt_{}; // of the report being handed over
  // Lives as long as the current reading: stopping it (a close, a removed
  // handler, the handle's end) lets it go, which a delivery in progress sees.
  std::shared_ptr<char> readingLifetime_;
};

} // namespace hid

#endif
