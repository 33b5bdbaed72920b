#include "platform/InterruptDelivery.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace hid {

InterruptDelivery::InterruptDelivery(DeviceInterface *sender,
                                     InterruptSource &source)
    : sender_(sender), source_(source) {}

InterruptDelivery::~InterruptDelivery() {
  stopReading();
}

Status InterruptDelivery::setHandler(void *buffer, uint32_t bufferSize,
                                     ReportCallback callback, void *target,
                                     void *refcon) {
  if (callback == nullptr) {
    stopReading();
    handler_.reset();
    return kSuccess;
  }
  if (source_.deviceGone())
    return kErrorNoDevice;
  if (buffer == nullptr || bufferSize == 0)
    return kErrorBadArgument;
  handler_ = Handler{static_cast<uint8_t *>(buffer), bufferSize, callback,
                     target, refcon};
  if (!source_.isOpen())
    return source_.closedStatus();
  startReading();
  return kSuccess;
}

uint64_t InterruptDelivery::lost() const {
  return lostByEarlierQueues_ + (reports_ ? reports_->lost() : 0);
}

void InterruptDelivery::opened() {
  if (handler_)
    startReading();
}

void InterruptDelivery::closed() {
  stopReading();
}

void InterruptDelivery::startReading() {
  if (reading_ || source_.deviceGone())
    return;
  if (!reports_) {
    reports_ = std::make_unique<InputReportQueue>(
        [this](const uint8_t *report, size_t size, uint64_t lost,
               ReportTime readAt) { deliver(report, size, lost, readAt); });
    readingLifetime_ = std::make_shared<char>();
  }
  reading_ = source_.startReading(reports_->writer());
}

void InterruptDelivery::stopReading() {
  if (std::exchange(reading_, false))
    source_.stopReading();
  if (reports_)
    lostByEarlierQueues_ += reports_->lost();
  reports_.reset();
  readingLifetime_.reset();
}

bool InterruptDelivery::mayDeliver() const {
  return handler_ && source_.isOpen() && !source_.deviceGone();
}

void InterruptDelivery::deliver(const uint8_t *report, size_t size,
                                uint64_t lost, ReportTime readAt) {
  const std::weak_ptr<char> reading = readingLifetime_;
  deliveredAt_ = readAt;
  if (lost > 0 && mayDeliver()) {
    handler_->callback(handler_->target, kErrorOverrun, handler_->refcon,
                       sender_, uint32_t(std::min<uint64_t>(lost, UINT32_MAX)));
    if (reading.expired())
      return; // closed, disarmed or released in the call
  }
  if (!report || !mayDeliver())
    return;
  const auto delivered = uint32_t(std::min<size_t>(handler_->bufferSize, size));
  std::memcpy(handler_->buffer, report, delivered);
  handler_->callback(handler_->target, kSuccess, handler_->refcon, sender_,
                     delivered);
}

} // namespace hid
