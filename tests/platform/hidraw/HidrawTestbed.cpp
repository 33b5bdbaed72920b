#include "tests/platform/hidraw/HidrawTestbed.h"

#include "platform/PinworthUSBIDs.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <sys/stat.h>

namespace {

constexpr const char *kHostController = "/devices/pci0000:00/0000:00:14.0";

// umockdev hands each uevent at once to every listening socket, whose queue
// holds only a few datagrams (net.unix.max_dgram_qlen) and aborts when one is
// full: the event loop reads them after each event.
void LetMonitorsRead() {
  QCoreApplication::processEvents();
}

// value in hex, digits wide: lowercase as USB attributes print it, uppercase
// as the HID core names its devices and writes their IDs.
std::string Hex(unsigned value, int digits, bool upper = false) {
  char text[16];
  std::snprintf(text, sizeof text, upper ? "%0*X" : "%0*x", digits, value);
  return text;
}

std::string Hex(const Bytes &bytes) {
  std::string text;
  for (uint8_t byte : bytes)
    text += Hex(byte, 2);
  return text;
}

} // namespace

// As the kernel has it, the devices hang below a root hub, itself a USB
// device, of the Linux Foundation's IDs.
HidrawTestbed::HidrawTestbed() : testbed_(umockdev_testbed_new()) {
  if (!umockdev_in_mock_environment())
    throw std::runtime_error("run with libumockdev-preload.so in LD_PRELOAD");
  add("P: " + std::string(kHostController) +
      "/usb1\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
      "A: idVendor=1d6b\nA: idProduct=0002\nA: bNumInterfaces= 1\n");
}

HidrawTestbed::~HidrawTestbed() {
  answerHeldRequests();
  g_object_unref(testbed_);
}

void HidrawTestbed::addUsbDevice(const std::string &port, uint16_t vendorID,
                                 uint16_t productID,
                                 std::optional<std::string> serial,
                                 int interfaceCount,
                                 std::optional<std::string> manufacturer,
                                 std::optional<std::string> product) {
  UsbDevice device{std::string(kHostController) + "/usb1/" + port,
                   vendorID,
                   productID,
                   serial.value_or(""),
                   {}};
  std::string description =
      "P: " + device.syspath +
      "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
      "A: idVendor=" +
      Hex(vendorID, 4) + "\nA: idProduct=" + Hex(productID, 4) +
      "\nA: bNumInterfaces= " + std::to_string(interfaceCount) + "\n";
  if (serial)
    description += "A: serial=" + *serial + "\n";
  if (manufacturer)
    description += "A: manufacturer=" + *manufacturer + "\n";
  if (product)
    description += "A: product=" + *product + "\n";
  add(description);
  devices_[port] = std::move(device);
}

FakeHidrawNode &HidrawTestbed::addHidInterface(const std::string &port,
                                               int interfaceNumber,
                                               Bytes descriptor) {
  UsbDevice &usb = device(port);
  std::string interfacePath =
      usb.syspath + "/" + port + ":1." + std::to_string(interfaceNumber);
  std::string hidName = "0003:" + Hex(usb.vendorID, 4, true) + ":" +
                        Hex(usb.productID, 4, true) + "." +
                        Hex(nextHid_++, 4, true);
  std::string hidPath = interfacePath + "/" + hidName;
  std::string name = "hidraw" + std::to_string(nextHidraw_++);
  std::string hidrawPath = hidPath + "/hidraw/" + name;
  add("P: " + interfacePath +
      "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nA: bInterfaceNumber=0" +
      std::to_string(interfaceNumber) + "\nA: bInterfaceClass=03\n");
  // usbhid names a device without strings after its IDs, and its unique ID
  // is the serial string, empty when there is none.
  add("P: " + hidPath + "\nE: SUBSYSTEM=hid\nE: HID_ID=0003:" +
      Hex(usb.vendorID, 8, true) + ":" + Hex(usb.productID, 8, true) +
      "\nE: HID_NAME=HID " + Hex(usb.vendorID, 4) + ":" +
      Hex(usb.productID, 4) + "\nE: HID_UNIQ=" + usb.serial +
      "\nH: report_descriptor=" + Hex(descriptor) + "\n");
  add("P: " + hidrawPath + "\nN: " + name +
      "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/" + name +
      "\nA: dev=240:" + std::to_string(nextHidraw_ - 1) +
      "\nL: device=../../../" + hidName + "\n");
  nodes_.push_back(std::make_unique<FakeHidrawNode>(testbed_, "/dev/" + name,
                                                    std::move(descriptor)));
  usb.interfaces.push_back({interfaceNumber,
                            {interfacePath, hidPath, hidrawPath},
                            nodes_.back().get()});
  return *nodes_.back();
}

void HidrawTestbed::plugPinworth(const std::string &port, uint16_t productID,
                                 std::optional<std::string> serial) {
  addUsbDevice(port, kTestVendorID, productID, std::move(serial), 2, "Pinworth",
               productID == pinworth::kUSBProductIDA ? "PinworthA"
                                                     : "PinworthB");
  addHidInterface(port, 0, pinworth::Interface0ReportDescriptor());
  addHidInterface(port, 1, pinworth::Interface1ReportDescriptor());
}

FakeHidrawNode &HidrawTestbed::node(const std::string &port,
                                    int interfaceNumber) {
  return *interface(port, interfaceNumber).node;
}

void HidrawTestbed::denyAccess(const std::string &port, int interfaceNumber) {
  FakeHidrawNode *node = interface(port, interfaceNumber).node;
  gchar *root = umockdev_testbed_get_root_dir(testbed_);
  std::string file = root + node->devnode();
  g_free(root);
  if (chmod(file.c_str(), 0) != 0)
    throw std::runtime_error("cannot change the permissions of " + file);
  // umockdev connects even an open that fails to the emulation, and never
  // lets go of it: no open may reach it any more.
  umockdev_testbed_detach_ioctl(testbed_, node->devnode().c_str(), nullptr);
}

void HidrawTestbed::unplug(const std::string &port) {
  UsbDevice &usb = device(port);
  std::vector<std::string> leafFirst;
  for (const Interface &interface : usb.interfaces) {
    interface.node->disconnect();
    leafFirst.insert(leafFirst.end(), interface.syspaths.rbegin(),
                     interface.syspaths.rend());
  }
  leafFirst.push_back(usb.syspath);
  for (const std::string &syspath : leafFirst) {
    umockdev_testbed_uevent(testbed_, ("/sys" + syspath).c_str(), "remove");
    LetMonitorsRead();
  }
  // Descriptors opened before keep their emulation; an open that fails
  // from now on must not connect to it.
  for (const Interface &interface : usb.interfaces)
    umockdev_testbed_detach_ioctl(testbed_, interface.node->devnode().c_str(),
                                  nullptr);
  for (const std::string &syspath : leafFirst)
    umockdev_testbed_remove_device(testbed_, ("/sys" + syspath).c_str());
  devices_.erase(port);
}

void HidrawTestbed::disconnect(const std::string &port) {
  for (const Interface &interface : device(port).interfaces)
    interface.node->disconnect();
}

void HidrawTestbed::answerHeldRequests() {
  for (const std::unique_ptr<FakeHidrawNode> &node : nodes_)
    node->answerHeldRequests();
}

bool HidrawTestbed::allNodesClosed() const {
  return std::all_of(nodes_.begin(), nodes_.end(),
                     [](const std::unique_ptr<FakeHidrawNode> &node) {
                       return node->openClients() == 0;
                     });
}

void HidrawTestbed::add(const std::string &description) {
  GError *error = nullptr;
  if (!umockdev_testbed_add_from_string(testbed_, description.c_str(),
                                        &error)) {
    std::string message = error->message;
    g_error_free(error);
    throw std::runtime_error("cannot add a device: " + message);
  }
  LetMonitorsRead();
}

HidrawTestbed::UsbDevice &HidrawTestbed::device(const std::string &port) {
  auto found = devices_.find(port);
  if (found == devices_.end())
    throw std::out_of_range("no USB device on port " + port);
  return found->second;
}

const HidrawTestbed::Interface &
HidrawTestbed::interface(const std::string &port, int interfaceNumber) const {
  auto found = devices_.find(port);
  if (found != devices_.end())
    for (const Interface &interface : found->second.interfaces)
      if (interface.number == interfaceNumber)
        return interface;
  throw std::out_of_range("no interface " + std::to_string(interfaceNumber) +
                          " on port " + port);
}
