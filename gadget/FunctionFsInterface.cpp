#include "gadget/FunctionFsInterface.h"

#include "platform/PinworthDescriptors.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <endian.h>
#include <fcntl.h>
#include <linux/hid.h>
#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gadget {

namespace {

void Append16(std::vector<uint8_t> &bytes, uint16_t value) {
  bytes.push_back(uint8_t(value));
  bytes.push_back(uint8_t(value >> 8));
}

void Append32(std::vector<uint8_t> &bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    bytes.push_back(uint8_t(value >> shift));
}

// The interface, its HID descriptor and its two endpoints at one speed;
// bInterval 1 ms either way (full speed counts frames, high speed
// 2^(n-1) microframes).
std::vector<uint8_t> SpeedDescriptors(const FunctionFsInterface::Layout &layout,
                                      bool highSpeed) {
  std::vector<uint8_t> bytes = {
      9, USB_DT_INTERFACE, 0, 0, 2, USB_INTERFACE_CLASS_HID, 0, 0, 0};
  const std::vector<uint8_t> hid =
      pinworth::HIDDescriptor(layout.reportDescriptor.size());
  bytes.insert(bytes.end(), hid.begin(), hid.end());
  for (uint8_t address : {uint8_t(1 | USB_DIR_IN), uint8_t(2 | USB_DIR_OUT)}) {
    bytes.insert(bytes.end(),
                 {7, USB_DT_ENDPOINT, address, USB_ENDPOINT_XFER_INT});
    Append16(bytes, layout.maxPacketSize);
    bytes.push_back(highSpeed ? 4 : 1);
  }
  return bytes;
}

std::vector<uint8_t> Descriptors(const FunctionFsInterface::Layout &layout) {
  const std::vector<uint8_t> fs = SpeedDescriptors(layout, false);
  const std::vector<uint8_t> hs = SpeedDescriptors(layout, true);
  std::vector<uint8_t> bytes;
  Append32(bytes, FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
  Append32(bytes, uint32_t(20 + fs.size() + hs.size()));
  Append32(bytes, FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC);
  Append32(bytes, 4); // descriptors at each speed
  Append32(bytes, 4);
  bytes.insert(bytes.end(), fs.begin(), fs.end());
  bytes.insert(bytes.end(), hs.begin(), hs.end());
  return bytes;
}

std::vector<uint8_t> NoStrings() {
  std::vector<uint8_t> bytes;
  Append32(bytes, FUNCTIONFS_STRINGS_MAGIC);
  Append32(bytes, 16);
  Append32(bytes, 0);
  Append32(bytes, 0);
  return bytes;
}

bool WriteAll(int fd, const std::vector<uint8_t> &bytes) {
  return ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
}

} // namespace

FunctionFsInterface::FunctionFsInterface(GadgetModel &model, Layout layout,
                                         std::string name,
                                         std::string mountPoint)
    : model_(model), layout_(std::move(layout)),
      mountPoint_(std::move(mountPoint)) {
  const auto failed = [&](const std::string &what) {
    error_ = what + ": " + std::strerror(errno);
  };
  ::mkdir(mountPoint_.c_str(), 0700);
  if (::mount(name.c_str(), mountPoint_.c_str(), "functionfs", 0, nullptr) !=
      0) {
    failed("mounting " + name + " on " + mountPoint_);
    return;
  }
  mounted_ = true;
  ep0_ = ::open(endpoint(0).c_str(), O_RDWR | O_CLOEXEC);
  if (ep0_ < 0) {
    failed(endpoint(0));
    return;
  }
  if (!WriteAll(ep0_, Descriptors(layout_)) || !WriteAll(ep0_, NoStrings())) {
    failed("writing the descriptors of " + name);
    return;
  }
  wakeEvent_ = ::eventfd(0, EFD_CLOEXEC);
  control_ = std::thread(&FunctionFsInterface::serveControl, this);
  outputs_ = std::thread(&FunctionFsInterface::readOutputReports, this);
  inputs_ = std::thread(&FunctionFsInterface::writeInputReports, this);
}

FunctionFsInterface::~FunctionFsInterface() {
  stopping_ = true;
  if (wakeEvent_ >= 0)
    wakeControl();
  for (std::thread *thread : {&control_, &outputs_, &inputs_})
    if (thread->joinable())
      thread->join();
  if (wakeEvent_ >= 0)
    ::close(wakeEvent_);
  if (ep0_ >= 0)
    ::close(ep0_);
  if (mounted_)
    ::umount(mountPoint_.c_str());
  ::rmdir(mountPoint_.c_str());
}

std::string FunctionFsInterface::endpoint(int number) const {
  return mountPoint_ + "/ep" + std::to_string(number);
}

void FunctionFsInterface::stallControlRequests(bool stalled) {
  stalled_ = stalled;
  wakeControl();
}

void FunctionFsInterface::wakeControl() {
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t written = ::write(wakeEvent_, &one, sizeof one);
}

// A request read from ep0 waits for its answer until the next call on ep0,
// which answers it (a read stalls an IN request): so while a request is
// left unanswered, ep0 is not watched.
void FunctionFsInterface::serveControl() {
  usb_functionfs_event events[8];
  bool unanswered = false;
  while (!stopping_) {
    unanswered = unanswered && stalled_;
    pollfd watched[2] = {{wakeEvent_, POLLIN, 0}, {ep0_, POLLIN, 0}};
    if (::poll(watched, unanswered ? 1 : 2, -1) < 0 && errno != EINTR)
      return;
    if (watched[0].revents) {
      uint64_t wakes = 0;
      [[maybe_unused]] ssize_t count = ::read(wakeEvent_, &wakes, sizeof wakes);
      continue;
    }
    if (!(watched[1].revents & POLLIN))
      continue;
    const ssize_t count = ::read(ep0_, events, sizeof events);
    for (ssize_t i = 0; i < count / ssize_t(sizeof events[0]); ++i)
      if (events[i].type == FUNCTIONFS_SETUP && stalled_)
        unanswered = true;
      else if (events[i].type == FUNCTIONFS_SETUP)
        handleSetup(events[i].u.setup);
  }
}

// An IN request is answered by writing ep0, an OUT request by reading it;
// the other direction stalls.
void FunctionFsInterface::handleSetup(const usb_ctrlrequest &setup) {
  const uint16_t value = le16toh(setup.wValue);
  const uint16_t length = le16toh(setup.wLength);
  const bool in = setup.bRequestType & USB_DIR_IN;
  const auto answer = [&](std::vector<uint8_t> bytes) {
    bytes.resize(std::min<size_t>(bytes.size(), length));
    [[maybe_unused]] ssize_t written =
        ::write(ep0_, bytes.data(), bytes.size());
  };
  const uint8_t type = setup.bRequestType & USB_TYPE_MASK;
  if (type == USB_TYPE_STANDARD && in &&
      setup.bRequest == USB_REQ_GET_DESCRIPTOR && (value >> 8) == HID_DT_REPORT)
    return answer(layout_.reportDescriptor);
  if (type == USB_TYPE_STANDARD && in &&
      setup.bRequest == USB_REQ_GET_DESCRIPTOR && (value >> 8) == HID_DT_HID)
    return answer(pinworth::HIDDescriptor(layout_.reportDescriptor.size()));
  if (type == USB_TYPE_CLASS && in && setup.bRequest == HID_REQ_GET_REPORT)
    return answer(
        model_.inputReport(layout_.interfaceNumber, uint8_t(value & 0xFF)));
  if (type == USB_TYPE_CLASS && !in && setup.bRequest == HID_REQ_SET_REPORT) {
    std::vector<uint8_t> report(length);
    const ssize_t count = ::read(ep0_, report.data(), report.size());
    if (count > 0) {
      report.resize(size_t(count));
      model_.receiveOutputReport(layout_.interfaceNumber, report);
    }
    return;
  }
  if (type == USB_TYPE_CLASS && !in && setup.bRequest == HID_REQ_SET_IDLE) {
    [[maybe_unused]] ssize_t acked = ::read(ep0_, nullptr, 0);
    return;
  }
  if (in) {
    [[maybe_unused]] ssize_t stalled = ::read(ep0_, nullptr, 0);
  } else {
    [[maybe_unused]] ssize_t stalled = ::write(ep0_, nullptr, 0);
  }
}

// The endpoint files work once the host has configured the device; until
// then (and while it is unplugged) their calls fail, and are tried again.
// (Without O_NONBLOCK a call waits until the host configures the device,
// and the thread could not be stopped while it is unplugged.)
void FunctionFsInterface::readOutputReports() {
  int fd = -1;
  std::vector<uint8_t> report(layout_.maxPacketSize);
  while (!stopping_) {
    if (fd < 0)
      fd = ::open(endpoint(2).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const ssize_t count =
        fd >= 0 && !held_ ? ::read(fd, report.data(), report.size()) : -1;
    if (count < 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    model_.receiveOutputReport(
        layout_.interfaceNumber,
        std::vector<uint8_t>(report.begin(), report.begin() + count));
  }
  if (fd >= 0)
    ::close(fd);
}

// A write returns once the host took the report; a report is given up
// after a second without a configured host, or at once when unplugged.
void FunctionFsInterface::writeInputReports() {
  int fd = -1;
  while (const std::optional<std::vector<uint8_t>> report =
             model_.nextInputReport(layout_.interfaceNumber)) {
    for (int attempt = 0; attempt < 200 && !stopping_ && model_.plugged();
         ++attempt) {
      if (fd < 0)
        fd = ::open(endpoint(1).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0 && ::write(fd, report->data(), report->size()) >= 0)
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    model_.reportDone(layout_.interfaceNumber);
  }
  if (fd >= 0)
    ::close(fd);
}

} // namespace gadget
