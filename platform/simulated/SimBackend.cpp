#include "platform/simulated/SimBackend.h"

#include "platform/ObjectQueue.h"
#include "platform/PinworthUSBIDs.h"
#include "platform/simulated/SimHandle.h"
#include "platform/simulated/SimNotificationPort.h"
#include "platform/simulated/SimService.h"
#include "platform/simulated/SimState.h"

#include <algorithm>
#include <stdexcept>

namespace hid::sim {

namespace {

constexpr MasterPort kSimMasterPort = 1;

} // namespace

void SimState::notify(DeviceID id, NotificationType type) {
  Model model = device(id).model;
  for (SimNotificationPort *port : ports)
    port->notify(model, type);
}

void SimState::plugIn(DeviceID id) {
  order.push_back({false, id, 0});
  order.push_back({false, id, 1});
  notify(id, NotificationType::FirstMatch);
  changed(id);
}

void SimState::changed(DeviceID id) {
  std::vector<int> keys;
  for (const auto &[key, observer] : observers)
    keys.push_back(key);
  for (int key : keys) {
    const auto found = observers.find(key);
    if (found == observers.end())
      continue;
    const auto observer = found->second; // it may remove itself
    observer(id);
  }
}

SimBackend::SimBackend() : state_(std::make_shared<SimState>()) {}

SimBackend::~SimBackend() = default;

DeviceID SimBackend::attach(Model model, std::optional<std::string> serial) {
  DeviceID id = state_->nextID++;
  state_->devices.emplace(
      id, std::make_unique<SimDevice>(model, std::move(serial)));
  state_->plugIn(id);
  return id;
}

void SimBackend::detach(DeviceID device) {
  SimDevice &d = state_->device(device);
  if (!d.attached)
    return;
  d.attached = false;
  state_->kernel.closeDevice(device);
  std::erase_if(state_->order, [device](const Slot &slot) {
    return !slot.foreign && slot.id == device;
  });
  state_->notify(device, NotificationType::Terminate);
  state_->changed(device);
}

void SimBackend::detachAll() {
  for (const auto &[id, device] : state_->devices)
    detach(id);
  state_->order.clear();
}

ServiceID SimBackend::insertForeignService(int32_t vendorID,
                                           int32_t productID) {
  ServiceID id = state_->nextID++;
  state_->foreign.emplace(id, ForeignService{vendorID, productID, {}});
  state_->order.push_back({true, id, 0});
  return id;
}

ServiceID SimBackend::insertForeignServiceAfter(DeviceID device,
                                                int interfaceNumber,
                                                int32_t vendorID,
                                                int32_t productID) {
  auto after = std::find_if(state_->order.begin(), state_->order.end(),
                            [&](const Slot &slot) {
                              return !slot.foreign && slot.id == device &&
                                     slot.interfaceNumber == interfaceNumber;
                            });
  if (after == state_->order.end())
    throw std::out_of_range("no attached interface to insert after");
  ServiceID id = state_->nextID++;
  state_->foreign.emplace(id, ForeignService{vendorID, productID, {}});
  state_->order.insert(after + 1, Slot{true, id, 0});
  return id;
}

InterfaceFaults &SimBackend::faults(DeviceID device, int interfaceNumber) {
  return state_->interface(device, interfaceNumber).faults;
}

InterfaceFaults &SimBackend::foreignFaults(ServiceID service) {
  return state_->foreign.at(service).faults;
}

VirtualPinworth &SimBackend::device(DeviceID device) {
  return state_->device(device).behaviour;
}

void SimBackend::sendInputReport(DeviceID device, int interfaceNumber,
                                 const std::vector<uint8_t> &report) {
  state_->kernel.send(device, interfaceNumber, report);
}

uint64_t SimBackend::kernelDropped(DeviceID device, int interfaceNumber) const {
  return state_->kernel.dropped(device, interfaceNumber);
}

void SimBackend::waitForKernelQueues() {
  state_->kernel.waitUntilRead();
}

void SimBackend::setKernelReaderRest(std::chrono::microseconds rest) {
  state_->kernel.setReaderRest(rest);
}

void SimBackend::setPinPulledLow(DeviceID device, int pin, bool pulledLow) {
  for (const InputReport &report :
       state_->device(device).behaviour.setPinPulledLow(pin, pulledLow))
    state_->kernel.send(device, report.interfaceNumber, report.bytes);
  state_->changed(device);
}

void SimBackend::pressRemoteKey(DeviceID device, uint8_t address,
                                uint8_t command) {
  for (const InputReport &report :
       state_->device(device).behaviour.pressRemoteKey(address, command))
    state_->kernel.send(device, report.interfaceNumber, report.bytes);
}

const std::vector<std::vector<uint8_t>> &
SimBackend::received(DeviceID device, int interfaceNumber) {
  return state_->interface(device, interfaceNumber).received;
}

std::vector<HandleHistory> SimBackend::handleHistories(DeviceID device,
                                                       int interfaceNumber) {
  std::vector<HandleHistory> histories;
  for (int index : state_->interface(device, interfaceNumber).handleHistories)
    histories.push_back(state_->handleHistories[index]);
  return histories;
}

HandleHistory SimBackend::historyOf(const DeviceInterface *handle) {
  const auto *simHandle = dynamic_cast<const SimHandle *>(handle);
  if (simHandle == nullptr)
    throw std::invalid_argument("not a handle of the simulated backend");
  return state_->handleHistories[simHandle->historyIndex()];
}

void SimBackend::plugBack(DeviceID device) {
  SimDevice &d = state_->device(device);
  if (d.attached || d.removed)
    return;
  d.attached = true;
  ++d.attachment;
  d.behaviour.powerUp();
  state_->plugIn(device);
}

void SimBackend::remove(DeviceID device) {
  detach(device);
  state_->device(device).removed = true;
  state_->changed(device);
}

void SimBackend::setFaults(DeviceID device, int interfaceNumber,
                           const InterfaceFaults &faults) {
  state_->interface(device, interfaceNumber).faults = faults;
  state_->changed(device);
}

std::vector<SimBackend::DeviceListing> SimBackend::devices() const {
  std::vector<DeviceListing> listing;
  for (const auto &[id, device] : state_->devices)
    if (!device->removed)
      listing.push_back({id, device->model, device->serial, device->attached});
  return listing;
}

int SimBackend::addObserver(std::function<void(DeviceID)> observer) {
  const int key = state_->nextObserverKey++;
  state_->observers.emplace(key, std::move(observer));
  return key;
}

void SimBackend::removeObserver(int key) {
  state_->observers.erase(key);
}

Status SimBackend::getMasterPort(MasterPort *outPort) {
  if (Status status = searchFaults_.masterPortStatus)
    return status;
  *outPort = kSimMasterPort;
  return kSuccess;
}

void SimBackend::deallocateMasterPort(MasterPort) {}

std::unique_ptr<MatchingDictionary>
SimBackend::serviceMatching(const char *className) {
  std::string name = className;
  if ((name == "IOHIDDevice" && searchFaults_.hidMatchingFails) ||
      (name == "IOUSBDevice" && searchFaults_.usbMatchingFails))
    return nullptr;
  auto matching = std::make_unique<MatchingDictionary>();
  matching->className = name;
  return matching;
}

Status SimBackend::getMatchingServices(MasterPort,
                                       const MatchingDictionary &matching,
                                       std::unique_ptr<ObjectIterator> &out) {
  searchCount_++;
  if (Status status = searchFaults_.searchStatus)
    return status;
  if (matching.className != "IOHIDDevice")
    return kErrorBadArgument;
  auto vendor = matching.numbers.find("VendorID");
  auto services = std::make_unique<ObjectQueue>();
  for (const Slot &slot : state_->order) {
    int32_t vendorID = slot.foreign ? state_->foreign.at(slot.id).vendorID
                                    : pinworth::kUSBVendorID;
    if (vendor == matching.numbers.end() || vendor->second == vendorID)
      services->push(std::make_shared<SimService>(state_, slot));
  }
  out = std::move(services);
  return kSuccess;
}

std::unique_ptr<NotificationPort>
SimBackend::createNotificationPort(MasterPort) {
  return std::make_unique<SimNotificationPort>(state_);
}

} // namespace hid::sim
