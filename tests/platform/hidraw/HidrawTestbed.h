// USB HID devices emulated by umockdev, for the hidraw backend's tests: real
// libudev and real syscalls see them in sysfs, in /dev and in udev events.
//
// The process must run with libumockdev-preload.so in LD_PRELOAD. Create the
// testbed before anything that opens a udev monitor.
#ifndef PINWORTH_TEST_HIDRAW_TESTBED_H
#define PINWORTH_TEST_HIDRAW_TESTBED_H

#include "platform/PinworthDescriptors.h"
#include "tests/platform/hidraw/FakeHidrawNode.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

constexpr uint16_t kTestVendorID = 0x1209;

class HidrawTestbed {
public:
  HidrawTestbed();
  ~HidrawTestbed();
  HidrawTestbed(const HidrawTestbed &) = delete;
  HidrawTestbed &operator=(const HidrawTestbed &) = delete;

  // A configured USB device on port ("1-4", "1-4.2") with interfaceCount
  // interfaces, none of them there yet; serial, manufacturer and product are
  // its strings.
  void addUsbDevice(const std::string &port, uint16_t vendorID,
                    uint16_t productID, std::optional<std::string> serial,
                    int interfaceCount,
                    std::optional<std::string> manufacturer = std::nullopt,
                    std::optional<std::string> product = std::nullopt);
  // One HID interface of the device on port, bound: the interface, its HID
  // device and its hidraw node (the next free hidrawN).
  FakeHidrawNode &addHidInterface(const std::string &port, int interfaceNumber,
                                  Bytes descriptor);
  // A whole Pinworth device with both interfaces, its strings "Pinworth" and
  // the model's name.
  void plugPinworth(const std::string &port, uint16_t productID,
                    std::optional<std::string> serial);

  FakeHidrawNode &node(const std::string &port, int interfaceNumber);
  // From now on the node opens for nobody without the right to override
  // file permissions, as if no udev rule had given the user access.
  void denyAccess(const std::string &port, int interfaceNumber);

  // Pulls the device out: its open nodes fail as the kernel's do, udev
  // reports the removal of every node, leaf first, and sysfs forgets them.
  void unplug(const std::string &port);
  // Pulls it out as a system without udevd sees it: its open nodes fail,
  // and nothing else says so (until unplug()).
  void disconnect(const std::string &port);

  // Answers every request a stalled node holds.
  void answerHeldRequests();
  // True when no client holds a descriptor of any node, unplugged or not.
  bool allNodesClosed() const;

private:
  struct Interface {
    int number;
    std::vector<std::string> syspaths; // interface, HID device, hidraw
    FakeHidrawNode *node;
  };
  struct UsbDevice {
    std::string syspath;
    uint16_t vendorID;
    uint16_t productID;
    std::string serial; // empty when the device has none
    std::vector<Interface> interfaces;
  };

  void add(const std::string &description);
  UsbDevice &device(const std::string &port);
  const Interface &interface(const std::string &port,
                             int interfaceNumber) const;

  UMockdevTestbed *testbed_;
  std::map<std::string, UsbDevice> devices_;
  // Every node ever made: clients may hold them after an unplug.
  std::vector<std::unique_ptr<FakeHidrawNode>> nodes_;
  int nextHidraw_ = 0;
  int nextHid_ = 1;
};

#endif
