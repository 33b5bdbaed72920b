#include "platform/simulated/SimBackend.h"

#include "platform/InterruptDelivery.h"
#include "platform/NotificationRegistry.h"
#include "platform/ObjectQueue.h"
#include "platform/PinworthDescriptors.h"
#include "platform/PinworthUSBIDs.h"
#include "platform/TransferLater.h"
#include "platform/simulated/SimKernelQueues.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <stdexcept>
#include <thread>

namespace hid::sim {

namespace {

constexpr MasterPort kSimMasterPort = 1;

struct SimInterface {
  InterfaceFaults faults;
  std::vector<std::vector<uint8_t>> received;
  std::vector<int> handleHistories; // indexes into State::handleHistories
};

struct SimDevice {
  Model model;
  std::optional<std::string> serial;
  bool attached = true;
  bool removed = false;
  int attachment = 0; // how often it was plugged back
  VirtualPinworth behaviour;
  SimInterface interfaces[2];

  SimDevice(Model m, std::optional<std::string> s)
      : model(m), serial(std::move(s)), behaviour(m) {}
};

struct ForeignService {
  int32_t vendorID;
  int32_t productID;
  InterfaceFaults faults;
};

// One HID service in the enumeration order: an interface of a device, or a
// foreign service.
struct Slot {
  bool foreign;
  int id;
  int interfaceNumber;
};

USBDeviceIDs IDsOf(Model model) {
  return {pinworth::kUSBVendorID, model == Model::PinworthA
                                      ? pinworth::kUSBProductIDA
                                      : pinworth::kUSBProductIDB};
}

// What an interface of a simulated device says about itself: no device node,
// the maker's and the model's name as its strings.
PropertyTable DeviceProperties(const SimDevice &device, int interfaceNumber) {
  PropertyTable table;
  table.vendorID = IDsOf(device.model).vendorID;
  table.productID = IDsOf(device.model).productID;
  table.serialNumber = device.serial;
  table.interfaceNumber = interfaceNumber;
  table.manufacturer = "Pinworth";
  table.product = ModelName(device.model);
  return table;
}

Status DeviceReportDescriptor(const SimInterface &interface,
                              int interfaceNumber,
                              std::vector<uint8_t> &outBytes) {
  if (interface.faults.descriptorUnreadable)
    return kErrorIO;
  outBytes = interfaceNumber == 0 ? pinworth::Interface0ReportDescriptor()
                                  : pinworth::Interface1ReportDescriptor();
  return kSuccess;
}

} // namespace

class SimHandle;
class SimPort;

struct SimBackend::State {
  std::map<DeviceID, std::unique_ptr<SimDevice>> devices;
  std::map<ServiceID, ForeignService> foreign;
  std::vector<Slot> order;
  std::vector<HandleHistory> handleHistories;
  std::vector<SimPort *> ports;
  SimKernelQueues kernel;
  int nextID = 1;
  std::map<int, std::function<void(DeviceID)>> observers;
  int nextObserverKey = 1;

  SimDevice &device(DeviceID id) {
    auto it = devices.find(id);
    if (it == devices.end())
      throw std::out_of_range("no simulated device with this id");
    return *it->second;
  }
  SimInterface &interface(DeviceID id, int interfaceNumber) {
    if (interfaceNumber != 0 && interfaceNumber != 1)
      throw std::out_of_range("Pinworth interfaces are 0 and 1");
    return device(id).interfaces[interfaceNumber];
  }
  void notify(DeviceID id, NotificationType type);
  // Puts an attached device's interfaces last in the search order and tells
  // of its arrival.
  void plugIn(DeviceID id);
  // Calls the observers.
  void changed(DeviceID id);
};

// A handle on one interface of a simulated device. It keeps the backend's
// state alive, so it stays safe to use after its device was detached. While
// it is open with a handler, the kernel keeps a queue for it (see
// SimKernelQueues.h), read into its report queue.
class SimHandle : public DeviceInterface, private InterruptSource {
public:
  SimHandle(std::shared_ptr<SimBackend::State> state, DeviceID device,
            int interfaceNumber)
      : state_(std::move(state)), device_(device),
        interfaceNumber_(interfaceNumber),
        history_(static_cast<int>(state_->handleHistories.size())) {
    state_->handleHistories.emplace_back();
    state_->interface(device_, interfaceNumber_)
        .handleHistories.push_back(history_);
    attachment_ = state_->device(device_).attachment;
  }

  ~SimHandle() override {
    interrupts_.closed();
    history().destroyed = true;
    history().isOpen = false;
    history().handlerInstalled = false;
  }

  int historyIndex() const { return history_; }

  Status checkAccess() const override {
    return state_->interface(device_, interfaceNumber_).faults.openStatus ==
                   kErrorNotPermitted
               ? kErrorNotPermitted
               : kSuccess;
  }

  Status open(uint32_t) override {
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

  Status close() override {
    if (!history().isOpen)
      return kErrorNotOpen;
    history().closes++;
    history().isOpen = false;
    interrupts_.closed();
    return kSuccess;
  }

  Status setReport(ReportType type, uint32_t, const void *buffer, uint32_t size,
                   uint32_t timeoutMS) override {
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

  Status getReport(ReportType type, uint32_t reportID, void *buffer,
                   uint32_t *ioSize, uint32_t timeoutMS) override {
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

  void setReportLater(ReportType type, uint32_t reportID,
                      std::vector<uint8_t> bytes, uint32_t timeoutMS,
                      TransferDone done) override {
    answerLater(timeoutMS, kErrorNotAnswered, std::move(done),
                [&](std::vector<uint8_t> &) {
                  return setReport(type, reportID, bytes.data(),
                                   static_cast<uint32_t>(bytes.size()), 0);
                });
  }

  void getReportLater(ReportType type, uint32_t reportID, uint32_t size,
                      uint32_t timeoutMS, TransferDone done) override {
    answerLater(timeoutMS, kErrorTimeout, std::move(done),
                [&](std::vector<uint8_t> &read) {
                  read.resize(size);
                  const Status status =
                      getReport(type, reportID, read.data(), &size, 0);
                  read.resize(status == kSuccess ? size : 0);
                  return status;
                });
  }

  Status setInterruptReportHandlerCallback(void *buffer, uint32_t bufferSize,
                                           ReportCallback callback,
                                           void *target,
                                           void *refcon) override {
    const Status status =
        interrupts_.setHandler(buffer, bufferSize, callback, target, refcon);
    history().handlerInstalled = interrupts_.hasHandler();
    return status;
  }

  uint64_t lostInterruptReports() const override { return interrupts_.lost(); }
  ReportTime interruptReportTime() const override {
    return interrupts_.reportTime();
  }

  Status copyProperties(PropertyTable &outTable) const override {
    const SimInterface &interface =
        state_->interface(device_, interfaceNumber_);
    if (interface.faults.propertiesUnreadable)
      return kErrorIO;
    outTable = DeviceProperties(state_->device(device_), interfaceNumber_);
    return kSuccess;
  }

  Status copyReportDescriptor(std::vector<uint8_t> &outBytes) const override {
    return DeviceReportDescriptor(state_->interface(device_, interfaceNumber_),
                                  interfaceNumber_, outBytes);
  }

protected:
  void releasing() override { history().releases++; }

private:
  HandleHistory &history() { return state_->handleHistories[history_]; }
  InterfaceFaults &faults() {
    return state_->interface(device_, interfaceNumber_).faults;
  }
  // Attached, and not plugged back since the handle was made.
  bool attached() const {
    const SimDevice &device = state_->device(device_);
    return device.attached && device.attachment == attachment_;
  }

  // The common checks of a transfer; a pending one-shot fault is consumed.
  Status checkTransfer(uint32_t timeoutMS, Status &oneShotFault) {
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

  // A request made without waiting: one the stalled device does not answer
  // is answered with stalledStatus after its timeout, and those made
  // meanwhile are answered busy right after it, as on hidraw; any other is
  // made at once and answered from the next turn of the event loop.
  void answerLater(uint32_t timeoutMS, Status stalledStatus, TransferDone done,
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

  // InterruptSource. As on hidraw, reports arrive while the handle is open.
  bool isOpen() const override {
    return state_->handleHistories[history_].isOpen;
  }
  bool deviceGone() const override { return !attached(); }
  Status closedStatus() const override {
    return lastOpenStatus_ ? lastOpenStatus_ : kErrorNotOpen;
  }
  bool startReading(InputReportQueue::Writer writer) override {
    kernelQueue_ = state_->kernel.open(device_, interfaceNumber_, writer);
    return true;
  }
  void stopReading() override {
    state_->kernel.close(std::exchange(kernelQueue_, 0));
  }

  std::shared_ptr<SimBackend::State> state_;
  DeviceID device_;
  int interfaceNumber_;
  int history_;
  int attachment_ = 0;
  Status lastOpenStatus_ = kSuccess;
  int kernelQueue_ = 0; // its key while read
  // Until then a request made without waiting waits for the stalled device.
  std::chrono::steady_clock::time_point stalledUntil_{};
  InterruptDelivery interrupts_{this, *this};
};

namespace {

class SimPlugIn : public PlugInInterface {
public:
  SimPlugIn(std::shared_ptr<SimBackend::State> state, DeviceID device,
            int interfaceNumber)
      : state_(std::move(state)), device_(device),
        interfaceNumber_(interfaceNumber) {}

  Status queryInterface(DeviceInterface **outInterface) override {
    if (Status status =
            state_->interface(device_, interfaceNumber_).faults.queryStatus)
      return status;
    *outInterface = new SimHandle(state_, device_, interfaceNumber_);
    return kSuccess;
  }

private:
  std::shared_ptr<SimBackend::State> state_;
  DeviceID device_;
  int interfaceNumber_;
};

// One HID service of a search: a Pinworth interface or a foreign service.
class SimService : public Service {
public:
  SimService(std::shared_ptr<SimBackend::State> state, Slot slot)
      : state_(std::move(state)), slot_(slot) {}

  Status copyProperties(PropertyTable &outTable) const override {
    const InterfaceFaults &f = faults();
    if (f.propertiesUnreadable)
      return kErrorIO;
    outTable = PropertyTable{};
    if (slot_.foreign) {
      const ForeignService &service = state_->foreign.at(slot_.id);
      outTable.vendorID = service.vendorID;
      outTable.productID = service.productID;
    } else {
      outTable =
          DeviceProperties(state_->device(slot_.id), slot_.interfaceNumber);
    }
    if (f.vendorIDMissing)
      outTable.vendorID.reset();
    if (f.productIDMissing)
      outTable.productID.reset();
    return kSuccess;
  }

  // Foreign services are never asked: the library does not open them.
  Status copyReportDescriptor(std::vector<uint8_t> &outBytes) const override {
    if (slot_.foreign)
      return kErrorUnsupported;
    return DeviceReportDescriptor(
        state_->interface(slot_.id, slot_.interfaceNumber),
        slot_.interfaceNumber, outBytes);
  }

  Status getClassName(std::string &outName) const override {
    if (Status status = faults().classNameStatus)
      return status;
    outName = "IOHIDDevice";
    return kSuccess;
  }

  Status
  createPlugInInterface(std::unique_ptr<PlugInInterface> &outPlugIn) override {
    if (Status status = faults().plugInStatus)
      return status;
    if (slot_.foreign)
      return kErrorUnsupported;
    outPlugIn =
        std::make_unique<SimPlugIn>(state_, slot_.id, slot_.interfaceNumber);
    return kSuccess;
  }

private:
  const InterfaceFaults &faults() const {
    if (slot_.foreign)
      return state_->foreign.at(slot_.id).faults;
    return state_->interface(slot_.id, slot_.interfaceNumber).faults;
  }

  std::shared_ptr<SimBackend::State> state_;
  Slot slot_;
};

} // namespace

// Device notifications, delivered on the event loop of the thread that
// created the port.
class SimPort : public NotificationPort {
public:
  explicit SimPort(std::shared_ptr<SimBackend::State> state)
      : state_(std::move(state)) {
    state_->ports.push_back(this);
  }
  ~SimPort() override { std::erase(state_->ports, this); }

  Status addMatchingNotification(NotificationType type,
                                 const MatchingDictionary &matching,
                                 NotificationHandler handler, void *refCon,
                                 ObjectIterator **outIterator) override {
    std::vector<USBDeviceIDs> attached;
    for (const auto &[id, device] : state_->devices)
      if (device->attached)
        attached.push_back(IDsOf(device->model));
    return registry_.add(type, matching, handler, refCon, attached,
                         outIterator);
  }

  void notify(Model model, NotificationType type) {
    registry_.notify(type, IDsOf(model));
  }

private:
  std::shared_ptr<SimBackend::State> state_;
  NotificationRegistry registry_;
};

void SimBackend::State::notify(DeviceID id, NotificationType type) {
  Model model = device(id).model;
  for (SimPort *port : ports)
    port->notify(model, type);
}

void SimBackend::State::plugIn(DeviceID id) {
  order.push_back({false, id, 0});
  order.push_back({false, id, 1});
  notify(id, NotificationType::FirstMatch);
  changed(id);
}

void SimBackend::State::changed(DeviceID id) {
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

SimBackend::SimBackend() : state_(std::make_shared<State>()) {}

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
  return std::make_unique<SimPort>(state_);
}

} // namespace hid::sim
