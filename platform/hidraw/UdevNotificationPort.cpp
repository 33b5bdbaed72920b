#include "platform/hidraw/UdevNotificationPort.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstring>

namespace hid::hidraw {

namespace {

constexpr long kHIDInterfaceClass = 3;

bool IsUsbDevice(udev_device *device) {
  const char *subsystem = udev_device_get_subsystem(device);
  const char *devtype = udev_device_get_devtype(device);
  return subsystem && devtype && std::strcmp(subsystem, "usb") == 0 &&
         std::strcmp(devtype, "usb_device") == 0;
}

} // namespace

std::unique_ptr<UdevNotificationPort>
UdevNotificationPort::Create(UdevContext context,
                             std::shared_ptr<NodeRemovals> removals) {
  if (!context || !QCoreApplication::instance())
    return nullptr;
  // Without udevd there may be no monitor: removals are then told by the
  // nodes' failures alone, and arrivals not at all.
  UdevMonitor monitor(udev_monitor_new_from_netlink(context.get(), "udev"));
  if (monitor && (udev_monitor_filter_add_match_subsystem_devtype(
                      monitor.get(), "usb", nullptr) < 0 ||
                  udev_monitor_filter_add_match_subsystem_devtype(
                      monitor.get(), "hidraw", nullptr) < 0 ||
                  udev_monitor_enable_receiving(monitor.get()) < 0))
    monitor.reset();
  return std::unique_ptr<UdevNotificationPort>(new UdevNotificationPort(
      std::move(context), std::move(monitor), std::move(removals)));
}

UdevNotificationPort::UdevNotificationPort(
    UdevContext context, UdevMonitor monitor,
    std::shared_ptr<NodeRemovals> removals)
    : context_(std::move(context)), monitor_(std::move(monitor)),
      removals_(std::move(removals)) {
  trackAttachedDevices();
  if (monitor_) {
    notifier_ = std::make_unique<QSocketNotifier>(
        udev_monitor_get_fd(monitor_.get()), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated,
                     notifier_.get(), [this] { readEvents(); });
  }
  if (removals_->failureFd() >= 0) {
    failures_ = std::make_unique<QSocketNotifier>(removals_->failureFd(),
                                                  QSocketNotifier::Read);
    QObject::connect(failures_.get(), &QSocketNotifier::activated,
                     failures_.get(), [this] { takeFailedNodes(); });
  }
}

UdevNotificationPort::~UdevNotificationPort() = default;

Status UdevNotificationPort::addMatchingNotification(
    NotificationType type, const MatchingDictionary &matching,
    NotificationHandler handler, void *refCon, ObjectIterator **outIterator) {
  std::vector<USBDeviceIDs> attached;
  for (const auto &[syspath, device] : devices_)
    if (device.arrivalReported)
      attached.push_back({device.vendorID, device.productID});
  return registry_.add(type, matching, handler, refCon, attached, outIterator);
}

// The devices attached now count as arrived once complete; the others are
// reported when their last hidraw node appears.
void UdevNotificationPort::trackAttachedDevices() {
  UdevEnumerate enumerate(udev_enumerate_new(context_.get()));
  if (!enumerate ||
      udev_enumerate_add_match_subsystem(enumerate.get(), "usb") < 0 ||
      udev_enumerate_add_match_property(enumerate.get(), "DEVTYPE",
                                        "usb_device") < 0 ||
      udev_enumerate_scan_devices(enumerate.get()) < 0)
    return;
  udev_list_entry *entry;
  udev_list_entry_foreach(entry,
                          udev_enumerate_get_list_entry(enumerate.get())) {
    UdevDevice device(udev_device_new_from_syspath(
        context_.get(), udev_list_entry_get_name(entry)));
    if (!device)
      continue;
    if (TrackedDevice *tracked = track(device.get()))
      tracked->arrivalReported = arrivalComplete(device.get());
  }
}

// Takes every queued event, so that the socket never stays readable.
void UdevNotificationPort::readEvents() {
  while (UdevDevice device{udev_monitor_receive_device(monitor_.get())})
    handleEvent(device.get());
}

void UdevNotificationPort::handleEvent(udev_device *device) {
  const char *action = udev_device_get_action(device);
  if (action && std::strcmp(action, "remove") == 0) {
    const char *subsystem = udev_device_get_subsystem(device);
    if (subsystem && std::strcmp(subsystem, "hidraw") == 0)
      removals_->removed(udev_device_get_syspath(device));
    if (!IsUsbDevice(device))
      return;
    auto found = devices_.find(udev_device_get_syspath(device));
    if (found != devices_.end())
      forget(found);
    return;
  }
  udev_device *usbDevice = IsUsbDevice(device) ? device : UsbDeviceOf(device);
  if (!usbDevice)
    return;
  TrackedDevice *tracked = track(usbDevice);
  if (tracked && !tracked->arrivalReported && arrivalComplete(usbDevice)) {
    tracked->arrivalReported = true;
    registry_.notify(NotificationType::FirstMatch,
                     {tracked->vendorID, tracked->productID});
  }
}

void UdevNotificationPort::takeFailedNodes() {
  for (const std::string &node : removals_->takeFailed()) {
    removals_->removed(node);
    // The node's own device is the deepest one above it: the hubs (the root
    // hub too) are USB devices above it as well.
    auto device = devices_.end();
    for (auto tracked = devices_.begin(); tracked != devices_.end(); ++tracked)
      if (node.starts_with(tracked->first + '/') &&
          (device == devices_.end() ||
           tracked->first.size() > device->first.size()))
        device = tracked;
    if (device != devices_.end())
      forget(device);
  }
}

void UdevNotificationPort::forget(
    std::map<std::string, TrackedDevice>::iterator device) {
  const TrackedDevice removed = device->second;
  removals_->removedUnder(device->first);
  devices_.erase(device);
  if (removed.arrivalReported)
    registry_.notify(NotificationType::Terminate,
                     {removed.vendorID, removed.productID});
}

UdevNotificationPort::TrackedDevice *
UdevNotificationPort::track(udev_device *usbDevice) {
  std::string syspath = udev_device_get_syspath(usbDevice);
  auto found = devices_.find(syspath);
  if (found != devices_.end())
    return &found->second;
  std::optional<long> vendorID = NumericAttribute(usbDevice, "idVendor", 16);
  std::optional<long> productID = NumericAttribute(usbDevice, "idProduct", 16);
  if (!vendorID || !productID)
    return nullptr;
  TrackedDevice device{static_cast<int32_t>(*vendorID),
                       static_cast<int32_t>(*productID), false};
  return &devices_.emplace(syspath, device).first->second;
}

bool UdevNotificationPort::arrivalComplete(udev_device *usbDevice) {
  std::vector<std::string> interfaces =
      ChildSyspaths(context_.get(), usbDevice, "usb", "usb_interface");
  long expected = NumericAttribute(usbDevice, "bNumInterfaces", 10).value_or(0);
  if (interfaces.empty() || static_cast<long>(interfaces.size()) < expected)
    return false;
  bool hasHidraw = false;
  for (const std::string &syspath : interfaces) {
    UdevDevice interface(
        udev_device_new_from_syspath(context_.get(), syspath.c_str()));
    if (!interface)
      return false;
    if (NumericAttribute(interface.get(), "bInterfaceClass", 16) !=
        kHIDInterfaceClass)
      continue;
    if (ChildSyspaths(context_.get(), interface.get(), "hidraw", nullptr)
            .empty())
      return false;
    hasHidraw = true;
  }
  return hasHidraw;
}

} // namespace hid::hidraw
