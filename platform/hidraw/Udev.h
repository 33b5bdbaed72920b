// Small owners of libudev objects and the sysfs facts the backend reads.
//
// libudev is not thread-safe: everything here runs on the thread that owns
// the context.
#ifndef PINWORTH_HIDRAW_UDEV_H
#define PINWORTH_HIDRAW_UDEV_H

#include "platform/HIDServices.h"

#include <libudev.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hid::hidraw {

struct UdevUnref {
  void operator()(udev *context) const { udev_unref(context); }
  void operator()(udev_device *device) const { udev_device_unref(device); }
  void operator()(udev_enumerate *enumerate) const {
    udev_enumerate_unref(enumerate);
  }
  void operator()(udev_monitor *monitor) const { udev_monitor_unref(monitor); }
};

// A context shared by the backend and everything it made.
using UdevContext = std::shared_ptr<udev>;
using UdevDevice = std::unique_ptr<udev_device, UdevUnref>;
using UdevEnumerate = std::unique_ptr<udev_enumerate, UdevUnref>;
using UdevMonitor = std::unique_ptr<udev_monitor, UdevUnref>;

// A new context, or null (errno set).
UdevContext NewUdevContext();

// A sysfs attribute of device, if it has one.
std::optional<std::string> Attribute(udev_device *device, const char *name);
// A sysfs attribute read as a number in base (16 for USB IDs).
std::optional<long> NumericAttribute(udev_device *device, const char *name,
                                     int base);

// The USB device (devtype usb_device) that device belongs to, or null. Not
// owned: it lives as long as device.
udev_device *UsbDeviceOf(udev_device *device);

// The syspaths of the devices below parent of one subsystem (and devtype,
// unless null), in sysfs order.
std::vector<std::string> ChildSyspaths(udev *context, udev_device *parent,
                                       const char *subsystem,
                                       const char *devtype);

// One hidraw node of a USB HID interface.
struct HidrawNode {
  std::string devnode; // /dev/hidrawN
  std::string syspath; // the hidraw device in sysfs
};

// The hidraw nodes of USB devices of vendorID (any vendor when absent): each
// device's interfaces together by interface number, devices by USB bus path.
// Devices with an odd number of HID interfaces come last, so that every other
// device's interface 0 stands at an even position.
std::vector<HidrawNode> FindHidrawNodes(udev *context,
                                        std::optional<int32_t> vendorID);

// The property table of the HID interface whose hidraw node is at syspath,
// read from it, its USB interface and its USB device; fails when sysfs
// cannot be read.
Status ReadPropertyTable(udev *context, const std::string &syspath,
                         PropertyTable &outTable);
// The report descriptor of the HID device above the hidraw node at syspath,
// from its report_descriptor file in sysfs.
Status ReadReportDescriptor(udev *context, const std::string &syspath,
                            std::vector<uint8_t> &outBytes);

} // namespace hid::hidraw

#endif
