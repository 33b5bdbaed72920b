#include "platform/hidraw/HidrawDevice.h"

#include "descriptor/ReportDescriptor.h"
#include "platform/hidraw/ErrnoStatus.h"
#include "runloop/DefaultMode.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace hid::hidraw {

namespace {

// The largest report hidraw hands over, report number included.
constexpr size_t kMaxReportSize = 16384;

} // namespace

HidrawDevice::HidrawDevice(HidrawNode node) : node_(std::move(node)) {}

HidrawDevice::~HidrawDevice() {
  stopInterruptSource();
  fd_.reset();
}

Status HidrawDevice::open(uint32_t) {
  if (gone_)
    return kErrorNoDevice;
  if (fd_)
    return kSuccess;
  int fd = ::open(node_.devnode.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return lastOpenStatus_ = statusForErrno(errno);
  auto descriptor = std::make_shared<FileDescriptor>(fd);
  // The node's minor number passes to the next device once this one is gone;
  // the node is this handle's only while its sysfs entry still exists.
  if (!stillInSysfs())
    return lastOpenStatus_ = kErrorNoDevice;
  Status status = usesReportIDs_ ? kSuccess : learnReportIDs(fd);
  if (status != kSuccess)
    return lastOpenStatus_ = status;
  fd_ = std::move(descriptor);
  lastOpenStatus_ = kSuccess;
  if (handler_)
    startInterruptSource();
  return kSuccess;
}

Status HidrawDevice::close() {
  if (!fd_)
    return kErrorNotOpen;
  stopInterruptSource();
  fd_.reset();
  return kSuccess;
}

Status HidrawDevice::setReport(ReportType type, uint32_t reportID,
                               const void *buffer, uint32_t size,
                               uint32_t timeoutMS) {
  if (Status status = checkTransfer())
    return status;
  if (type != ReportType::Output)
    return kErrorUnsupported;
  if (reportID != 0 || (buffer == nullptr && size > 0) ||
      (*usesReportIDs_ && size == 0) || size >= kMaxReportSize)
    return kErrorBadArgument;
  const auto *bytes = static_cast<const uint8_t *>(buffer);
  Request request{.kind = Request::Kind::Write, .fd = fd_};
  if (!*usesReportIDs_)
    request.bytes.push_back(0);
  request.bytes.insert(request.bytes.end(), bytes, bytes + size);
  size_t expected = request.bytes.size();
  RequestOutcome outcome = runRequest(std::move(request), timeoutMS);
  if (outcome.timedOut)
    return kErrorTimeout;
  if (outcome.result < 0)
    return statusForErrno(outcome.error);
  return static_cast<size_t>(outcome.result) == expected ? kSuccess : kErrorIO;
}

Status HidrawDevice::getReport(ReportType type, uint32_t reportID, void *buffer,
                               uint32_t *ioSize, uint32_t timeoutMS) {
  if (Status status = checkTransfer())
    return status;
  if (type != ReportType::Input)
    return kErrorUnsupported;
  if (ioSize == nullptr || (buffer == nullptr && *ioSize > 0) ||
      reportID > 0xFF)
    return kErrorBadArgument;
  // The buffer goes in with the report number first. For number 0, a report
  // without an ID, the kernel answers with that 0 before the data; for any
  // other number the buffer holds the device's answer alone.
  size_t skipped = reportID == 0 ? 1 : 0;
  size_t length =
      std::clamp<size_t>(size_t{*ioSize} + skipped, 1, kMaxReportSize - 1);
  Request request{.kind = Request::Kind::Ioctl,
                  .fd = fd_,
                  .ioctlRequest = HIDIOCGINPUT(length),
                  .bytes = std::vector<uint8_t>(length)};
  request.bytes[0] = static_cast<uint8_t>(reportID);
  RequestOutcome outcome = runRequest(std::move(request), timeoutMS);
  if (outcome.timedOut)
    return kErrorTimeout;
  if (outcome.result < 0)
    return statusForErrno(outcome.error);
  size_t received = std::min(static_cast<size_t>(outcome.result), length);
  uint32_t delivered = static_cast<uint32_t>(
      std::min<size_t>(received > skipped ? received - skipped : 0, *ioSize));
  if (delivered > 0)
    std::memcpy(buffer, outcome.bytes.data() + skipped, delivered);
  *ioSize = delivered;
  return kSuccess;
}

Status HidrawDevice::setInterruptReportHandlerCallback(void *buffer,
                                                       uint32_t bufferSize,
                                                       ReportCallback callback,
                                                       void *target,
                                                       void *refcon) {
  if (callback == nullptr) {
    stopInterruptSource();
    handler_.reset();
    deliveries_ = std::make_unique<runloop::DefaultModeQueue>();
    return kSuccess;
  }
  if (gone_)
    return kErrorNoDevice;
  if (buffer == nullptr || bufferSize == 0)
    return kErrorBadArgument;
  handler_ = InterruptHandler{static_cast<uint8_t *>(buffer), bufferSize,
                              callback, target, refcon};
  if (!fd_)
    return lastOpenStatus_ != kSuccess ? lastOpenStatus_ : kErrorNotOpen;
  if (!notifier_)
    startInterruptSource();
  return kSuccess;
}

Status HidrawDevice::statusForErrno(int error) const {
  Status status = StatusForErrno(error);
  if (status == kErrorIO && !stillInSysfs())
    return kErrorNoDevice;
  return status;
}

bool HidrawDevice::stillInSysfs() const {
  return ::access(node_.syspath.c_str(), F_OK) == 0;
}

Status HidrawDevice::learnReportIDs(int fd) {
  int size = 0;
  if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0)
    return statusForErrno(errno);
  hidraw_report_descriptor descriptor{};
  descriptor.size = static_cast<uint32_t>(
      std::clamp(size, 0, static_cast<int>(sizeof descriptor.value)));
  if (::ioctl(fd, HIDIOCGRDESC, &descriptor) < 0)
    return statusForErrno(errno);
  usesReportIDs_ =
      descriptor::Decode(descriptor.value, descriptor.size).usesReportIDs;
  return kSuccess;
}

Status HidrawDevice::checkTransfer() const {
  if (gone_)
    return kErrorNoDevice;
  if (!fd_)
    return kErrorNotOpen;
  return kSuccess;
}

RequestOutcome HidrawDevice::runRequest(Request request, uint32_t timeoutMS) {
  return worker_.run(std::move(request), std::chrono::milliseconds(timeoutMS));
}

void HidrawDevice::startInterruptSource() {
  readBuffer_.resize(kMaxReportSize);
  notifier_ =
      std::make_unique<QSocketNotifier>(fd_->get(), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated,
                   notifier_.get(), [this] { readInterruptReports(); });
}

void HidrawDevice::stopInterruptSource() {
  notifier_.reset();
}

// Runs inside the notifier's activation. No caller code runs here: each
// report is handed on through the delivery queue, so that a handler may close
// or release this handle, which deletes the notifier.
void HidrawDevice::readInterruptReports() {
  for (;;) {
    ssize_t count = ::read(fd_->get(), readBuffer_.data(), readBuffer_.size());
    if (count < 0 && errno == EINTR)
      continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
      return;
    if (count <= 0) {
      // hidraw fails a read only once its device is gone; the descriptor
      // stays readable, so the notifier must go quiet.
      gone_ = true;
      notifier_->setEnabled(false);
      return;
    }
    std::vector<uint8_t> report(readBuffer_.begin(),
                                readBuffer_.begin() + count);
    deliveries_->post([this, report = std::move(report)] { deliver(report); });
  }
}

void HidrawDevice::deliver(const std::vector<uint8_t> &report) {
  if (!fd_ || !handler_)
    return;
  uint32_t size = std::min<uint32_t>(handler_->bufferSize,
                                     static_cast<uint32_t>(report.size()));
  std::memcpy(handler_->buffer, report.data(), size);
  handler_->callback(handler_->target, kSuccess, handler_->refcon, this, size);
}

} // namespace hid::hidraw
