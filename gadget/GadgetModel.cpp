#include "gadget/GadgetModel.h"

namespace gadget {

void GadgetModel::receiveOutputReport(int interfaceNumber,
                                      const std::vector<uint8_t> &bytes) {
  std::lock_guard lock(mutex_);
  queue(
      device_.receiveOutputReport(interfaceNumber, bytes.data(), bytes.size()));
}

std::vector<uint8_t> GadgetModel::inputReport(int interfaceNumber,
                                              uint8_t reportID) {
  std::lock_guard lock(mutex_);
  return device_.inputReport(interfaceNumber, reportID);
}

void GadgetModel::setPinPulledLow(int pin, bool pulledLow) {
  std::lock_guard lock(mutex_);
  queue(device_.setPinPulledLow(pin, pulledLow));
}

void GadgetModel::pressRemoteKey(uint8_t address, uint8_t command) {
  std::lock_guard lock(mutex_);
  queue(device_.pressRemoteKey(address, command));
}

void GadgetModel::sendInputReport(int interfaceNumber,
                                  std::vector<uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  queue({{interfaceNumber, std::move(bytes)}});
}

void GadgetModel::setPlugged(bool plugged) {
  std::lock_guard lock(mutex_);
  plugged_ = plugged;
  if (!plugged)
    for (std::deque<std::vector<uint8_t>> &inputs : inputs_)
      inputs.clear();
  sent_.notify_all();
}

bool GadgetModel::plugged() {
  std::lock_guard lock(mutex_);
  return plugged_;
}

bool GadgetModel::waitUntilSent(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return sent_.wait_for(lock, timeout, [this] { return allSent(); });
}

std::optional<std::vector<uint8_t>>
GadgetModel::nextInputReport(int interfaceNumber) {
  std::unique_lock lock(mutex_);
  std::deque<std::vector<uint8_t>> &inputs = inputs_[size_t(interfaceNumber)];
  queued_.wait(lock, [&] { return stopped_ || !inputs.empty(); });
  if (stopped_)
    return std::nullopt;
  std::vector<uint8_t> report = std::move(inputs.front());
  inputs.pop_front();
  inFlight_[size_t(interfaceNumber)] = true;
  return report;
}

void GadgetModel::reportDone(int interfaceNumber) {
  std::lock_guard lock(mutex_);
  inFlight_[size_t(interfaceNumber)] = false;
  sent_.notify_all();
}

void GadgetModel::stop() {
  std::lock_guard lock(mutex_);
  stopped_ = true;
  queued_.notify_all();
}

void GadgetModel::queue(const std::vector<hid::sim::InputReport> &reports) {
  if (!plugged_)
    return;
  for (const hid::sim::InputReport &report : reports) {
    std::deque<std::vector<uint8_t>> &inputs =
        inputs_[size_t(report.interfaceNumber)];
    if (inputs.size() == kQueueLimit)
      inputs.pop_front();
    inputs.push_back(report.bytes);
  }
  queued_.notify_all();
}

bool GadgetModel::allSent() const {
  for (size_t index = 0; index < inputs_.size(); ++index)
    if (inFlight_[index] || (plugged_ && !inputs_[index].empty()))
      return false;
  return true;
}

} // namespace gadget
