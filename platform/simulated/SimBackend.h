// Simulated HID backend: virtual Pinworth devices inside the process.
//
// Used by the tests and by the explorer's demo. The control API attaches and
// detaches devices (each change notifies like a real plug), inserts foreign
// HID services, injects faults per interface, lets a device send input
// reports, and records what each interface received. Use it on the main
// thread (but for sendInputReport(), which a device's own thread may call);
// notifications and interrupt reports are delivered on the event loop of the
// thread that registered for them.
#ifndef PINWORTH_SIM_BACKEND_H
#define PINWORTH_SIM_BACKEND_H

#include "platform/HIDServices.h"
#include "platform/simulated/SimFaults.h"
#include "platform/simulated/VirtualPinworth.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hid::sim {

struct SimState;

class SimBackend : public Backend {
public:
  SimBackend();
  ~SimBackend() override;

  // Attaches a device after all services attached before it; serial is the
  // "SerialNumber" string, absent when nullopt. Notifies an arrival.
  DeviceID attach(Model model, std::optional<std::string> serial);
  // Notifies a removal. Its handles stay safe: every transfer then fails with
  // kErrorNoDevice and nothing more reaches their handlers.
  void detach(DeviceID device);
  // Detaches every device and removes every foreign service.
  void detachAll();
  // A HID service of another product or vendor, placed after every service
  // attached so far. No notification.
  ServiceID insertForeignService(int32_t vendorID, int32_t productID);
  // The same, placed directly after one interface of an attached device.
  ServiceID insertForeignServiceAfter(DeviceID device, int interfaceNumber,
                                      int32_t vendorID, int32_t productID);

  InterfaceFaults &faults(DeviceID device, int interfaceNumber);
  InterfaceFaults &foreignFaults(ServiceID service);
  SearchFaults &searchFaults() { return searchFaults_; }

  // The device's own behaviour: pins, display, infrared.
  VirtualPinworth &device(DeviceID device);
  // The device sends an input report on an interface, from any thread. It
  // reaches the kernel's queue of every open handle of the interface that has
  // a handler (see SimKernelQueues.h); a device that is not attached sends
  // nothing.
  void sendInputReport(DeviceID device, int interfaceNumber,
                       const std::vector<uint8_t> &report);
  // Reports the kernel's queues of the interface dropped because they were
  // full; nothing downstream can tell. Any thread.
  uint64_t kernelDropped(DeviceID device, int interfaceNumber) const;
  // Returns once every report sent so far has left the kernel's queues.
  void waitForKernelQueues();
  // Makes the kernel's reader rest this long after each pass over its
  // queues, as on a busy machine, so that a fast device fills them; zero,
  // the default, reads at once. Any thread.
  void setKernelReaderRest(std::chrono::microseconds rest);
  // Applies a pin change or a remote key and sends what the device answers.
  void setPinPulledLow(DeviceID device, int pin, bool pulledLow);
  void pressRemoteKey(DeviceID device, uint8_t address, uint8_t command);

  // Every output report the interface took, oldest first.
  const std::vector<std::vector<uint8_t>> &received(DeviceID device,
                                                    int interfaceNumber);
  // Handles made for the interface, in order of creation.
  std::vector<HandleHistory> handleHistories(DeviceID device,
                                             int interfaceNumber);
  // The history of a live handle made by this backend.
  HandleHistory historyOf(const DeviceInterface *handle);
  // How many searches (getMatchingServices) ran.
  int searchCount() const { return searchCount_; }

  // For a view of the devices, such as the simulator's window.
  //
  // Attaches a detached device again, as after a power cycle: its behaviour
  // is back at power-up, it comes after every service attached so far, and
  // an arrival is notified. Handles made before it was detached stay dead.
  void plugBack(DeviceID device);
  // Detaches the device if attached and forgets it: devices() leaves it out
  // and plugBack() ignores it. Its handles stay safe, as after detach().
  void remove(DeviceID device);
  // Sets an interface's faults and tells the observers.
  void setFaults(DeviceID device, int interfaceNumber,
                 const InterfaceFaults &faults);
  struct DeviceListing {
    DeviceID id;
    Model model;
    std::optional<std::string> serial;
    bool attached;
  };
  // Every device attached and not removed, detached ones too, oldest first.
  std::vector<DeviceListing> devices() const;
  // Registers a function called, on the main thread and before the call that
  // caused it returns, whenever something a view shows of a device may have
  // changed: it was attached, detached or plugged back, one of its
  // interfaces took an output report, a pin was pulled or let go, its faults
  // were set with setFaults(), or a transfer used up a one-shot fault. Not
  // for input reports the device sends. Returns a key for removeObserver().
  int addObserver(std::function<void(DeviceID)> observer);
  // An observer removed while the observers are being called is not called
  // afterwards.
  void removeObserver(int key);

  // Backend
  Status getMasterPort(MasterPort *outPort) override;
  void deallocateMasterPort(MasterPort port) override;
  std::unique_ptr<MatchingDictionary>
  serviceMatching(const char *className) override;
  Status
  getMatchingServices(MasterPort port, const MatchingDictionary &matching,
                      std::unique_ptr<ObjectIterator> &outIterator) override;
  std::unique_ptr<NotificationPort>
  createNotificationPort(MasterPort port) override;

private:
  std::shared_ptr<SimState> state_; // shared with the handles and ports

  SearchFaults searchFaults_;
  int searchCount_ = 0;
};

} // namespace hid::sim

#endif
