#include "platform/hidraw/HidrawDevice.h"

#include "descriptor/ReportDescriptor.h"
#include "platform/TransferLater.h"
#include "platform/hidraw/ErrnoStatus.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <utility>

namespace hid::hidraw {

namespace {

// The largest report hidraw hands over, report number included.
constexpr size_t kMaxReportSize = descriptor::kMaxReportBytes;

// What HIDIOCGINPUT hands back before the report: the report number 0.
size_t SkippedByRead(uint32_t reportID) {
  return reportID == 0 ? 1 : 0;
}

} // namespace

HidrawDevice::HidrawDevice(HidrawNode node, InterruptReader &reader,
                           std::shared_ptr<NodeRemovals> removals)
    : node_(std::move(node)), reader_(reader), removals_(std::move(removals)) {
  removals_->watch(node_.syspath, gone_);
}

HidrawDevice::~HidrawDevice() {
  interrupts_.closed();
  fd_.reset();
}

Status HidrawDevice::open(uint32_t) {
  if (gone())
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
  interrupts_.opened();
  return kSuccess;
}

Status HidrawDevice::close() {
  if (!fd_)
    return kErrorNotOpen;
  interrupts_.closed();
  fd_.reset();
  return kSuccess;
}

Status HidrawDevice::writeRequest(ReportType type, uint32_t reportID,
                                  const void *buffer, uint32_t size,
                                  Request &outRequest) const {
  if (Status status = checkTransfer())
    return status;
  if (type != ReportType::Output)
    return kErrorUnsupported;
  if (reportID != 0 || (buffer == nullptr && size > 0) ||
      (*usesReportIDs_ && size == 0) || size >= kMaxReportSize)
    return kErrorBadArgument;
  // Without report IDs the report goes out behind the report number 0.
  const size_t offset = *usesReportIDs_ ? 0 : 1;
  outRequest = Request{.kind = Request::Kind::Write,
                       .fd = fd_,
                       .bytes = std::vector<uint8_t>(offset + size)};
  if (size > 0)
    std::memcpy(outRequest.bytes.data() + offset, buffer, size);
  return kSuccess;
}

Status HidrawDevice::writeStatus(const RequestOutcome &outcome,
                                 size_t expected) const {
  if (outcome.busy)
    return kErrorBusy;
  if (outcome.timedOut)
    return kErrorNotAnswered;
  if (outcome.result < 0)
    return statusForErrno(outcome.error);
  return static_cast<size_t>(outcome.result) == expected ? kSuccess : kErrorIO;
}

// The buffer goes in with the report number first. For number 0, a report
// without an ID, the kernel answers with that 0 before the data; for any
// other number the buffer holds the device's answer alone.
Status HidrawDevice::readRequest(ReportType type, uint32_t reportID,
                                 uint32_t size, Request &outRequest) const {
  if (Status status = checkTransfer())
    return status;
  if (type != ReportType::Input)
    return kErrorUnsupported;
  if (reportID > 0xFF)
    return kErrorBadArgument;
  const size_t length = std::clamp<size_t>(
      size_t{size} + SkippedByRead(reportID), 1, kMaxReportSize - 1);
  outRequest = Request{.kind = Request::Kind::Ioctl,
                       .fd = fd_,
                       .ioctlRequest = HIDIOCGINPUT(length),
                       .bytes = std::vector<uint8_t>(length)};
  outRequest.bytes[0] = static_cast<uint8_t>(reportID);
  return kSuccess;
}

Status HidrawDevice::readStatus(RequestOutcome &outcome, uint32_t reportID,
                                uint32_t size) const {
  if (outcome.busy)
    return kErrorBusy;
  if (outcome.timedOut)
    return kErrorTimeout;
  if (outcome.result < 0)
    return statusForErrno(outcome.error);
  const size_t skipped = SkippedByRead(reportID);
  const size_t received =
      std::min(static_cast<size_t>(outcome.result), outcome.bytes.size());
  const size_t delivered =
      std::min<size_t>(received > skipped ? received - skipped : 0, size);
  outcome.bytes.erase(outcome.bytes.begin(),
                      outcome.bytes.begin() + std::ptrdiff_t(skipped));
  outcome.bytes.resize(delivered);
  return kSuccess;
}

Status HidrawDevice::setReport(ReportType type, uint32_t reportID,
                               const void *buffer, uint32_t size,
                               uint32_t timeoutMS) {
  Request request;
  if (Status status = writeRequest(type, reportID, buffer, size, request))
    return status;
  const size_t expected = request.bytes.size();
  return writeStatus(runRequest(std::move(request), timeoutMS), expected);
}

Status HidrawDevice::getReport(ReportType type, uint32_t reportID, void *buffer,
                               uint32_t *ioSize, uint32_t timeoutMS) {
  Request request;
  if (Status status =
          readRequest(type, reportID, ioSize ? *ioSize : 0, request))
    return status;
  if (ioSize == nullptr || (buffer == nullptr && *ioSize > 0))
    return kErrorBadArgument;
  RequestOutcome outcome = runRequest(std::move(request), timeoutMS);
  if (Status status = readStatus(outcome, reportID, *ioSize))
    return status;
  if (!outcome.bytes.empty())
    std::memcpy(buffer, outcome.bytes.data(), outcome.bytes.size());
  *ioSize = static_cast<uint32_t>(outcome.bytes.size());
  return kSuccess;
}

void HidrawDevice::setReportLater(ReportType type, uint32_t reportID,
                                  std::vector<uint8_t> bytes,
                                  uint32_t timeoutMS, TransferDone done) {
  Request request;
  if (Status status =
          writeRequest(type, reportID, bytes.data(),
                       static_cast<uint32_t>(bytes.size()), request))
    return AnswerLater(this, std::move(done), status);
  const size_t expected = request.bytes.size();
  worker_.start(std::move(request), std::chrono::milliseconds(timeoutMS),
                [this, hold = HoldHandle(this), expected,
                 done](const RequestOutcome &outcome) {
                  done(writeStatus(outcome, expected), {}, outcome.answeredAt);
                });
}

void HidrawDevice::getReportLater(ReportType type, uint32_t reportID,
                                  uint32_t size, uint32_t timeoutMS,
                                  TransferDone done) {
  Request request;
  if (Status status = readRequest(type, reportID, size, request))
    return AnswerLater(this, std::move(done), status);
  worker_.start(std::move(request), std::chrono::milliseconds(timeoutMS),
                [this, hold = HoldHandle(this), reportID, size,
                 done](RequestOutcome outcome) {
                  const Status status = readStatus(outcome, reportID, size);
                  done(status,
                       status == kSuccess ? std::move(outcome.bytes)
                                          : std::vector<uint8_t>{},
                       outcome.answeredAt);
                });
}

Status HidrawDevice::setInterruptReportHandlerCallback(void *buffer,
                                                       uint32_t bufferSize,
                                                       ReportCallback callback,
                                                       void *target,
                                                       void *refcon) {
  return interrupts_.setHandler(buffer, bufferSize, callback, target, refcon);
}

uint64_t HidrawDevice::lostInterruptReports() const {
  return interrupts_.lost();
}

Status HidrawDevice::statusForErrno(int error) const {
  Status status = StatusForErrno(error);
  if (status == kErrorIO && !stillInSysfs())
    status = kErrorNoDevice;
  if (status == kErrorNoDevice)
    removals_->failed(node_.syspath);
  return status;
}

bool HidrawDevice::stillInSysfs() const {
  return ::access(node_.syspath.c_str(), F_OK) == 0;
}

Status
HidrawDevice::readReportDescriptor(int fd,
                                   std::vector<uint8_t> &outBytes) const {
  int size = 0;
  if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0)
    return statusForErrno(errno);
  hidraw_report_descriptor descriptor{};
  descriptor.size = static_cast<uint32_t>(
      std::clamp(size, 0, static_cast<int>(sizeof descriptor.value)));
  if (::ioctl(fd, HIDIOCGRDESC, &descriptor) < 0)
    return statusForErrno(errno);
  outBytes.assign(descriptor.value, descriptor.value + descriptor.size);
  return kSuccess;
}

Status HidrawDevice::learnReportIDs(int fd) {
  std::vector<uint8_t> bytes;
  if (Status status = readReportDescriptor(fd, bytes))
    return status;
  usesReportIDs_ = descriptor::Decode(bytes.data(), bytes.size()).usesReportIDs;
  return kSuccess;
}

// Opens the node and closes it again: its mode and access list, and the
// user's capabilities, decide as they will for open(). An open handle has
// its access.
Status HidrawDevice::checkAccess() const {
  if (fd_)
    return kSuccess;
  const int fd = ::open(node_.devnode.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return errno == EACCES || errno == EPERM ? kErrorNotPermitted : kSuccess;
  ::close(fd);
  return kSuccess;
}

Status HidrawDevice::copyProperties(PropertyTable &outTable) const {
  UdevContext context = NewUdevContext();
  if (!context)
    return kErrorNoMemory;
  return ReadPropertyTable(context.get(), node_.syspath, outTable);
}

Status
HidrawDevice::copyReportDescriptor(std::vector<uint8_t> &outBytes) const {
  if (gone())
    return kErrorNoDevice;
  if (fd_)
    return readReportDescriptor(fd_->get(), outBytes);
  UdevContext context = NewUdevContext();
  if (!context)
    return kErrorNoMemory;
  return ReadReportDescriptor(context.get(), node_.syspath, outBytes);
}

Status HidrawDevice::checkTransfer() const {
  if (gone())
    return kErrorNoDevice;
  if (!fd_)
    return kErrorNotOpen;
  return kSuccess;
}

RequestOutcome HidrawDevice::runRequest(Request request, uint32_t timeoutMS) {
  return worker_.run(std::move(request), std::chrono::milliseconds(timeoutMS));
}

Status HidrawDevice::closedStatus() const {
  return lastOpenStatus_ != kSuccess ? lastOpenStatus_ : kErrorNotOpen;
}

// A descriptor of its own, so that its reads wait behind nothing the
// handle's requests do, and its queue in the kernel holds only reports that
// came since the handler was installed.
bool HidrawDevice::startReading(InputReportQueue::Writer writer) {
  const int fd =
      ::open(node_.devnode.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return false;
  readerKey_ = reader_.add(
      std::make_shared<FileDescriptor>(fd), std::move(writer),
      [gone = gone_, removals = removals_, syspath = node_.syspath] {
        *gone = true;
        removals->failed(syspath);
      });
  return true;
}

void HidrawDevice::stopReading() {
  reader_.remove(std::exchange(readerKey_, 0));
}

} // namespace hid::hidraw
