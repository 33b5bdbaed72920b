// The simulated backend's state: its devices, foreign services, search order
// and kernel queues. The backend, and every handle, service and notification
// port it made, hold it by shared_ptr, so that each stays safe to use after
// the backend is gone. Used on the main thread only.
#ifndef PINWORTH_SIM_STATE_H
#define PINWORTH_SIM_STATE_H

#include "platform/NotificationRegistry.h"
#include "platform/simulated/SimFaults.h"
#include "platform/simulated/SimKernelQueues.h"
#include "platform/simulated/VirtualPinworth.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace hid::sim {

class SimNotificationPort;

struct SimInterface {
  InterfaceFaults faults;
  std::vector<std::vector<uint8_t>> received;
  std::vector<int> handleHistories; // indexes into SimState::handleHistories
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

USBDeviceIDs IDsOf(Model model);

// What an interface of a simulated device says about itself: no device node,
// the maker's and the model's name as its strings.
PropertyTable DeviceProperties(const SimDevice &device, int interfaceNumber);

Status DeviceReportDescriptor(const SimInterface &interface,
                              int interfaceNumber,
                              std::vector<uint8_t> &outBytes);

// Its notify(), plugIn() and changed() are the backend's, in SimBackend.cpp.
struct SimState {
  std::map<DeviceID, std::unique_ptr<SimDevice>> devices;
  std::map<ServiceID, ForeignService> foreign;
  std::vector<Slot> order;
  std::vector<HandleHistory> handleHistories;
  std::vector<SimNotificationPort *> ports;
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

} // namespace hid::sim

#endif
