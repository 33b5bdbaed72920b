#include "core/interfaces/InterfacePoller.h"

#include "lib/PinworthLib.h"

#include <QPointer>

#include <algorithm>

namespace core {

InterfacePoller::InterfacePoller(TargetOfTick target, Answered answered)
    : target_(std::move(target)), answered_(std::move(answered)) {
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &InterfacePoller::poll);
}

void InterfacePoller::start(int periodMS) {
  ++run_;
  timer_.start(periodMS);
  poll();
}

void InterfacePoller::stop() {
  ++run_;
  timer_.stop();
}

void InterfacePoller::poll() {
  if (waitingRun_ == run_)
    return;
  const std::optional<Target> target = target_();
  if (!target)
    return;
  waitingRun_ = run_;
  PinworthReadFromInterfaceLater(
      target->handle, pinworth::kPolledReportID, std::max(target->size, 0),
      [self = QPointer(this), run = run_, source = target->source](
          int32_t status, std::vector<uint8_t> report, hid::ReportTime readAt) {
        if (self)
          self->answered(run, source, status, report, readAt);
      });
}

void InterfacePoller::answered(uint64_t run, const InterfaceIdentity &source,
                               int32_t status,
                               const std::vector<uint8_t> &report,
                               hid::ReportTime readAt) {
  if (waitingRun_ == run)
    waitingRun_.reset();
  answeredRun_ = run;
  if (run == run_)
    answered_(source, status, report, readAt);
}

} // namespace core
