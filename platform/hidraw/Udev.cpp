#include "platform/hidraw/Udev.h"

#include "platform/hidraw/ErrnoStatus.h"
#include "platform/hidraw/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <map>
#include <tuple>
#include <unistd.h>

namespace hid::hidraw {

namespace {

// "1-4.2" (bus 1, port 4, then port 2 of a hub) as {1, 4, 2}; empty when the
// name has another form.
std::vector<long> BusPath(const char *sysname) {
  std::vector<long> path;
  const char *text = sysname;
  char separator = '-';
  for (;;) {
    char *end = nullptr;
    long number = std::strtol(text, &end, 10);
    if (end == text)
      return {};
    path.push_back(number);
    if (*end == '\0')
      return path.size() > 1 ? path : std::vector<long>{};
    if (*end != separator)
      return {};
    separator = '.';
    text = end + 1;
  }
}

struct FoundNode {
  HidrawNode node;
  std::string usbSyspath;
  std::vector<long> busPath;
  long interfaceNumber;
  bool oddInterfaceCount = false; // of its USB device

  auto sortKey() const {
    return std::tie(oddInterfaceCount, busPath, usbSyspath, interfaceNumber,
                    node.devnode);
  }
};

// The node of the hidraw device at syspath if it belongs to a USB HID
// interface of vendorID.
std::optional<FoundNode> InspectHidraw(udev *context, const char *syspath,
                                       std::optional<int32_t> vendorID) {
  UdevDevice hidraw(udev_device_new_from_syspath(context, syspath));
  if (!hidraw)
    return std::nullopt;
  const char *devnode = udev_device_get_devnode(hidraw.get());
  udev_device *interface = udev_device_get_parent_with_subsystem_devtype(
      hidraw.get(), "usb", "usb_interface");
  udev_device *usbDevice = UsbDeviceOf(hidraw.get());
  if (!devnode || !interface || !usbDevice)
    return std::nullopt;
  std::optional<long> vendor = NumericAttribute(usbDevice, "idVendor", 16);
  if (vendorID && vendor != *vendorID)
    return std::nullopt;
  FoundNode found;
  found.node = {devnode, syspath};
  found.usbSyspath = udev_device_get_syspath(usbDevice);
  found.busPath = BusPath(udev_device_get_sysname(usbDevice));
  found.interfaceNumber =
      NumericAttribute(interface, "bInterfaceNumber", 16).value_or(-1);
  return found;
}

} // namespace

UdevContext NewUdevContext() {
  udev *context = udev_new();
  if (!context)
    return nullptr;
  return UdevContext(context, UdevUnref());
}

std::optional<std::string> Attribute(udev_device *device, const char *name) {
  const char *value = udev_device_get_sysattr_value(device, name);
  if (!value)
    return std::nullopt;
  return std::string(value);
}

std::optional<long> NumericAttribute(udev_device *device, const char *name,
                                     int base) {
  const char *value = udev_device_get_sysattr_value(device, name);
  if (!value)
    return std::nullopt;
  char *end = nullptr;
  long number = std::strtol(value, &end, base);
  if (end == value)
    return std::nullopt;
  return number;
}

udev_device *UsbDeviceOf(udev_device *device) {
  return udev_device_get_parent_with_subsystem_devtype(device, "usb",
                                                       "usb_device");
}

std::vector<std::string> ChildSyspaths(udev *context, udev_device *parent,
                                       const char *subsystem,
                                       const char *devtype) {
  std::vector<std::string> syspaths;
  UdevEnumerate enumerate(udev_enumerate_new(context));
  if (!enumerate ||
      udev_enumerate_add_match_parent(enumerate.get(), parent) < 0 ||
      udev_enumerate_add_match_subsystem(enumerate.get(), subsystem) < 0 ||
      (devtype && udev_enumerate_add_match_property(enumerate.get(), "DEVTYPE",
                                                    devtype) < 0) ||
      udev_enumerate_scan_devices(enumerate.get()) < 0)
    return syspaths;
  udev_list_entry *entry;
  udev_list_entry_foreach(entry,
                          udev_enumerate_get_list_entry(enumerate.get())) {
    syspaths.emplace_back(udev_list_entry_get_name(entry));
  }
  return syspaths;
}

std::vector<HidrawNode> FindHidrawNodes(udev *context,
                                        std::optional<int32_t> vendorID) {
  std::vector<FoundNode> found;
  UdevEnumerate enumerate(udev_enumerate_new(context));
  if (enumerate &&
      udev_enumerate_add_match_subsystem(enumerate.get(), "hidraw") >= 0 &&
      udev_enumerate_scan_devices(enumerate.get()) >= 0) {
    udev_list_entry *entry;
    udev_list_entry_foreach(entry,
                            udev_enumerate_get_list_entry(enumerate.get())) {
      if (std::optional<FoundNode> node =
              InspectHidraw(context, udev_list_entry_get_name(entry), vendorID))
        found.push_back(std::move(*node));
    }
  }

  std::map<std::string, size_t> interfacesPerDevice;
  for (const FoundNode &node : found)
    interfacesPerDevice[node.usbSyspath]++;
  for (FoundNode &node : found)
    node.oddInterfaceCount = interfacesPerDevice[node.usbSyspath] % 2 == 1;
  std::sort(found.begin(), found.end(),
            [](const FoundNode &a, const FoundNode &b) {
              return a.sortKey() < b.sortKey();
            });

  std::vector<HidrawNode> nodes;
  for (FoundNode &node : found)
    nodes.push_back(std::move(node.node));
  return nodes;
}

Status ReadPropertyTable(udev *context, const std::string &syspath,
                         PropertyTable &outTable) {
  errno = 0;
  UdevDevice hidraw(udev_device_new_from_syspath(context, syspath.c_str()));
  if (!hidraw)
    return errno ? StatusForErrno(errno) : kErrorNoDevice;
  udev_device *usbDevice = UsbDeviceOf(hidraw.get());
  if (!usbDevice)
    return kErrorNoDevice;
  outTable = PropertyTable{};
  if (std::optional<long> vendor = NumericAttribute(usbDevice, "idVendor", 16))
    outTable.vendorID = static_cast<int32_t>(*vendor);
  if (std::optional<long> product =
          NumericAttribute(usbDevice, "idProduct", 16))
    outTable.productID = static_cast<int32_t>(*product);
  outTable.serialNumber = Attribute(usbDevice, "serial");
  outTable.manufacturer = Attribute(usbDevice, "manufacturer");
  outTable.product = Attribute(usbDevice, "product");
  if (udev_device *interface = udev_device_get_parent_with_subsystem_devtype(
          hidraw.get(), "usb", "usb_interface"))
    if (std::optional<long> number =
            NumericAttribute(interface, "bInterfaceNumber", 16))
      outTable.interfaceNumber = static_cast<int32_t>(*number);
  if (const char *devnode = udev_device_get_devnode(hidraw.get()))
    outTable.nodePath = devnode;
  return kSuccess;
}

Status ReadReportDescriptor(udev *context, const std::string &syspath,
                            std::vector<uint8_t> &outBytes) {
  errno = 0;
  UdevDevice hidraw(udev_device_new_from_syspath(context, syspath.c_str()));
  if (!hidraw)
    return errno ? StatusForErrno(errno) : kErrorNoDevice;
  udev_device *hid = udev_device_get_parent_with_subsystem_devtype(
      hidraw.get(), "hid", nullptr);
  if (!hid)
    return kErrorNoDevice;
  const std::string path =
      std::string(udev_device_get_syspath(hid)) + "/report_descriptor";
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0)
    return StatusForErrno(errno);
  // The kernel keeps at most HID_MAX_DESCRIPTOR_SIZE bytes.
  std::vector<uint8_t> bytes(HID_MAX_DESCRIPTOR_SIZE);
  size_t size = 0;
  while (size < bytes.size()) {
    const ssize_t count =
        ::read(file.get(), bytes.data() + size, bytes.size() - size);
    if (count < 0 && errno == EINTR)
      continue;
    if (count < 0)
      return StatusForErrno(errno);
    if (count == 0)
      break;
    size += size_t(count);
  }
  bytes.resize(size);
  outBytes = std::move(bytes);
  return kSuccess;
}

} // namespace hid::hidraw
