// The interface handle of the hidraw backend: one hidraw node.
//
// Opening opens the node (read-write, close-on-exec, non-blocking reads) and
// learns from its report descriptor whether the interface uses report IDs.
// Output reports are written, input reports are fetched with HIDIOCGINPUT;
// both run on the handle's helper thread (see RequestWorker.h) so that the
// caller waits no longer than the request's timeout, or, made later, does
// not wait at all. While a handler is
// installed on the open handle, the node is opened once more for the
// backend's reader thread (see InterruptReader.h), which reads its reports
// into the handle's report queue (see InterruptDelivery.h), which delivers
// them on the event loop of the thread that installed the handler.
#ifndef PINWORTH_HIDRAW_HIDRAW_DEVICE_H
#define PINWORTH_HIDRAW_HIDRAW_DEVICE_H

#include "platform/HIDServices.h"
#include "platform/InterruptDelivery.h"
#include "platform/hidraw/FileDescriptor.h"
#include "platform/hidraw/InterruptReader.h"
#include "platform/hidraw/NodeRemovals.h"
#include "platform/hidraw/RequestWorker.h"
#include "platform/hidraw/Udev.h"

#include <atomic>
#include <memory>
#include <optional>

namespace hid::hidraw {

class HidrawDevice : public DeviceInterface, private InterruptSource {
public:
  // reader reads the interrupt reports and outlives the handle; removals
  // tells of the node's removal, and is told when the node fails as a
  // removed one does.
  HidrawDevice(HidrawNode node, InterruptReader &reader,
               std::shared_ptr<NodeRemovals> removals);
  ~HidrawDevice() override;

  // An open handle keeps its one descriptor; opening again adds none.
  Status open(uint32_t options) override;
  Status close() override;
  // Output reports only, with report ID 0: when the interface uses report IDs
  // the buffer begins with the ID, otherwise the report goes out behind the
  // report number 0.
  Status setReport(ReportType type, uint32_t reportID, const void *buffer,
                   uint32_t size, uint32_t timeoutMS) override;
  // Input reports only. What is handed back is the device's report: for
  // report ID 0 (an interface without report IDs) the data alone, for
  // another ID what the device answers, which begins with the ID when the
  // interface uses report IDs.
  Status getReport(ReportType type, uint32_t reportID, void *buffer,
                   uint32_t *ioSize, uint32_t timeoutMS) override;
  void setReportLater(ReportType type, uint32_t reportID,
                      std::vector<uint8_t> bytes, uint32_t timeoutMS,
                      TransferDone done) override;
  void getReportLater(ReportType type, uint32_t reportID, uint32_t size,
                      uint32_t timeoutMS, TransferDone done) override;
  // Reports arrive while the handle is open; installed on a closed handle,
  // the handler waits for the next open and the failure of the last open
  // (or kErrorNotOpen) is returned.
  Status setInterruptReportHandlerCallback(void *buffer, uint32_t bufferSize,
                                           ReportCallback callback,
                                           void *target, void *refcon) override;
  uint64_t lostInterruptReports() const override;
  ReportTime interruptReportTime() const override {
    return interrupts_.reportTime();
  }
  // From sysfs; the descriptor from the kernel's hidraw driver while open.
  Status checkAccess() const override;
  Status copyProperties(PropertyTable &outTable) const override;
  Status copyReportDescriptor(std::vector<uint8_t> &outBytes) const override;

private:
  // The status for a failed call; EIO counts as a removal once the node has
  // left sysfs. A removal is told to the node removals.
  Status statusForErrno(int error) const;
  bool stillInSysfs() const;
  Status learnReportIDs(int fd);
  // HIDIOCGRDESC on fd.
  Status readReportDescriptor(int fd, std::vector<uint8_t> &outBytes) const;
  Status checkTransfer() const;
  RequestOutcome runRequest(Request request, uint32_t timeoutMS);
  // A transfer's request, after its checks; and the status of its outcome.
  // readStatus leaves in outcome.bytes the data delivered, at most size.
  Status writeRequest(ReportType type, uint32_t reportID, const void *buffer,
                      uint32_t size, Request &outRequest) const;
  Status writeStatus(const RequestOutcome &outcome, size_t expected) const;
  Status readRequest(ReportType type, uint32_t reportID, uint32_t size,
                     Request &outRequest) const;
  Status readStatus(RequestOutcome &outcome, uint32_t reportID,
                    uint32_t size) const;

  // InterruptSource: a descriptor of its own for the reader, while open
  // with a handler.
  bool isOpen() const override { return fd_ != nullptr; }
  bool deviceGone() const override { return gone(); }
  Status closedStatus() const override;
  bool startReading(InputReportQueue::Writer writer) override;
  void stopReading() override;
  bool gone() const { return *gone_; }

  HidrawNode node_;
  InterruptReader &reader_;
  std::shared_ptr<NodeRemovals> removals_;
  std::shared_ptr<FileDescriptor> fd_; // null while closed
  std::optional<bool> usesReportIDs_;  // learnt at the first open
  Status lastOpenStatus_ = kErrorNotOpen;
  // Set when udev removes the node, or by the reader thread when a read
  // found the device gone.
  std::shared_ptr<std::atomic<bool>> gone_ =
      std::make_shared<std::atomic<bool>>(false);
  int readerKey_ = 0; // while the reader reads
  RequestWorker worker_;
  InterruptDelivery interrupts_{this, *this};
};

} // namespace hid::hidraw

#endif
