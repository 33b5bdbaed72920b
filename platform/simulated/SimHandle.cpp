#include "platform/simulated/SimHandle.h"

#include "platform/TransferLater.h"

#include <algorithm>
#include <thread>

namespace hid::sim {

SimHandle::SimHandle(std::shared_ptr<SimState> state, DeviceID device,
                     int interfaceNumber)
    : state_(std::move(state)), device_(device),
      interfaceNumber_(interfaceNumber),
      history_(static_cast<int>(state_->handleHistories.size())) {
  state_->handleHistories.emplace_back();
  state_->interface(device_, interfaceNumber_)
      .handleHistories.push_back(history_);
  attachment_ = state_->device(device_).attachment;
}

SimHandle::~SimHandle() {
  interrupts_.closed();
  history().destroyed = true;
  history().isOpen = false;
  history().handlerInstalled = false;
}

Status SimHandle::checkAccess() const {
  return state_->interface(device_, interfaceNumber_).faults.openStatus ==
                 kErrorNotPermitted
             ? kErrorNotPermitted
             : kSuccess;
}

Status SimHandle::open(uint32_t) {
  if (!attached())
    return kErrorNoDevice;
  if (Status status = faults().openStatus)
    return lastOpenStatus_ = status;
  lastOpenStatus_ = kSuccess;
  history().opens++;
  history().isOpen = true;
  interrupts_.opened();
  return kSuccess;
}

Status SimHandle::close() {
  if (!history().isOpen)
    return kErrorNotOpen;
  history().closes++;
  history().isOpen = false;
  interrupts_.closed();
  return kSuccess;
}

Status SimHandle::setReport(ReportType type, uint32_t, const void *buffer,
                            uint32_t size, uint32_t timeoutMS) {
  if (Status status = checkTransfer(timeoutMS, faults().nextWriteStatus))
    return status == kErrorTimeout ? kErrorNotAnswered : status;
  if (type != ReportType::Output || (buffer == nullptr && size > 0))
    return kErrorBadArgument;
  const auto *bytes = static_cast<const uint8_t *>(buffer);
  SimDevice &device = state_->device(device_);
  device.interfaces[interfaceNumber_].received.emplace_back(bytes,
                                                            bytes + size);
  for (const InputReport &answer :
       device.behaviour.receiveOutputReport(interfaceNumber_, bytes, size))
    state_->kernel.send(device_, answer.interfaceNumber, answer.bytes);
  state_->changed(device_);
  return kSuccess;
}

Status SimHandle::getReport(ReportType type, uint32_t reportID, void *buffer,
                            uint32_t *ioSize, uint32_t timeoutMS) {
  if (Status status = checkTransfer(timeoutMS, faults().nextReadStatus))
    return status;
  if (type != ReportType::Input || ioSize == nullptr ||
      (buffer == nullptr && *ioSize > 0))
    return kErrorBadArgument;
  std::vector<uint8_t> report = state_->device(device_).behaviour.inputReport(
      interfaceNumber_, static_cast<uint8_t>(reportID));
  *ioSize = std::min<uint32_t>(*ioSize, static_cast<uint32_t>(report.size()));
  std::copy_n(report.data(), *ioSize, static_cast<uint8_t *>(buffer));
  return kSuccess;
}

void SimHandle::setReportLater(ReportType type, uint32_t reportID,
                               std::vector<uint8_t> bytes, uint32_t timeoutMS,
                               TransferDone done) {
  answerLater(timeoutMS, kErrorNotAnswered, std::move(done),
              [&](std::vector<uint8_t> &) {
                return setReport(type, reportID, bytes.data(),
                                 static_cast<uint32_t>(bytes.size()), 0);
              });
}

void SimHandle::getReportLater(ReportType type, uint32_t reportID,
                               uint32_t size, uint32_t timeoutMS,
                               TransferDone done) {
  answerLater(timeoutMS, kErrorTimeout, std::move(done),
              [&](std::vector<uint8_t> &read) {
                read.resize(size);
                const Status status =
                    getReport(type, reportID, read.data(), &size, 0);
                read.resize(status == kSuccess ? size : 0);
                return status;
              });
}

Status SimHandle::setInterruptReportHandlerCallback(void *buffer,
                                                    uint32_t bufferSize,
                                                    ReportCallback callback,
                                                    void *target,
                                                    void *refcon) {
  const Status status =
      interrupts_.setHandler(buffer, bufferSize, callback, target, refcon);
  history().handlerInstalled = interrupts_.hasHandler();
  return status;
}

uint64_t SimHandle::lostInterruptReports() const {
  return interrupts_.lost();
}

ReportTime SimHandle::interruptReportTime() const {
  return interrupts_.reportTime();
}

Status SimHandle::copyProperties(PropertyTable &outTable) const {
  const SimInterface &interface = state_->interface(device_, interfaceNumber_);
  if (interface.faults.propertiesUnreadable)
    return kErrorIO;
  outTable = DeviceProperties(state_->device(device_), interfaceNumber_);
  return kSuccess;
}

Status SimHandle::copyReportDescriptor(std::vector<uint8_t> &outBytes) const {
  return DeviceReportDescriptor(state_->interface(device_, interfaceNumber_),
                                interfaceNumber_, outBytes);
}

void SimHandle::releasing() {
  history().releases++;
}

HandleHistory &SimHandle::history() {
  return state_->handleHistories[history_];
}

InterfaceFaults &SimHandle::faults() {
  return state_->interface(device_, interfaceNumber_).faults;
}

bool SimHandle::attached() const {
  const SimDevice &device = state_->device(device_);
  return device.attached && device.attachment == attachment_;
}

Status SimHandle::checkTransfer(uint32_t timeoutMS, Status &oneShotFault) {
  if (!attached())
    return kErrorNoDevice;
  if (!history().isOpen)
    return kErrorNotOpen;
  if (faults().stalled) {
    std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMS));
    return kErrorTimeout;
  }
  if (Status status = oneShotFault) {
    oneShotFault = kSuccess;
    state_->changed(device_);
    return status;
  }
  return kSuccess;
}

void SimHandle::answerLater(
    uint32_t timeoutMS, Status stalledStatus, TransferDone done,
    const std::function<Status(std::vector<uint8_t> &)> &make) {
  using namespace std::chrono;
  const steady_clock::time_point now = steady_clock::now();
  if (now < stalledUntil_) {
    const auto wait = ceil<milliseconds>(stalledUntil_ - now) + 1ms;
    return AnswerLater(this, std::move(done), kErrorBusy, {},
                       int(wait.count()));
  }
  if (attached() && history().isOpen && faults().stalled) {
    stalledUntil_ = now + milliseconds(timeoutMS);
    return AnswerLater(this, std::move(done), stalledStatus, {},
                       int(timeoutMS));
  }
  std::vector<uint8_t> bytes;
  const Status status = make(bytes);
  AnswerLater(this, std::move(done), status, std::move(bytes));
}

bool SimHandle::isOpen() const {
  return state_->handleHistories[history_].isOpen;
}

bool SimHandle::deviceGone() const {
  return !attached();
}

Status SimHandle::closedStatus() const {
  return lastOpenStatus_ ? lastOpenStatus_ : kErrorNotOpen;
}

bool SimHandle::startReading(InputReportQueue::Writer writer) {
  kernelQueue_ = state_->kernel.open(device_, interfaceNumber_, writer);
  return true;
}

void SimHandle::stopReading() {
  state_->kernel.close(std::exchange(kernelQueue_, 0));
}

} // namespace hid::sim
