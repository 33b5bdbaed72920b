// The interface handle of the hidraw backend: one hidraw node.
//
// Opening opens the node (read-write, close-on-exec, non-blocking reads) and
// learns from its report descriptor whether the interface uses report IDs.
// Output reports are written, input reports are fetched with HIDIOCGINPUT;
// both run on the handle's helper thread (see RequestWorker.h) so that the
// caller waits no longer than the request's timeout. Interrupt reports are
// read on the event loop of the thread that installed the handler whenever
// the node is readable, every queued report each time, and delivered in
// default mode.
#ifndef PINWORTH_HIDRAW_HIDRAW_DEVICE_H
#define PINWORTH_HIDRAW_HIDRAW_DEVICE_H

#include "platform/HIDServices.h"
#include "platform/hidraw/FileDescriptor.h"
#include "platform/hidraw/RequestWorker.h"
#include "platform/hidraw/Udev.h"
#include "runloop/DefaultMode.h"

#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;

namespace hid::hidraw {

class HidrawDevice : public DeviceInterface {
public:
  explicit HidrawDevice(HidrawNode node);
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
  // Reports arrive while the handle is open; installed on a closed handle,
  // the handler waits for the next open and the failure of the last open
  // (or kErrorNotOpen) is returned.
  Status setInterruptReportHandlerCallback(void *buffer, uint32_t bufferSize,
                                           ReportCallback callback,
                                           void *target, void *refcon) override;

private:
  struct InterruptHandler {
    uint8_t *buffer;
    uint32_t bufferSize;
    ReportCallback callback;
    void *target;
    void *refcon;
  };

  // The status for a failed call; EIO counts as a removal once the node has
  // left sysfs.
  Status statusForErrno(int error) const;
  bool stillInSysfs() const;
  Status learnReportIDs(int fd);
  Status checkTransfer() const;
  RequestOutcome runRequest(Request request, uint32_t timeoutMS);

  void startInterruptSource();
  void stopInterruptSource();
  void readInterruptReports();
  void deliver(const std::vector<uint8_t> &report);

  HidrawNode node_;
  std::shared_ptr<FileDescriptor> fd_; // null while closed
  std::optional<bool> usesReportIDs_;  // learnt at the first open
  Status lastOpenStatus_ = kErrorNotOpen;
  bool gone_ = false; // a read found the device gone: it never comes back
  std::optional<InterruptHandler> handler_;
  std::unique_ptr<QSocketNotifier> notifier_; // while open with a handler
  std::vector<uint8_t> readBuffer_;
  RequestWorker worker_;
  // Interrupt reports on their way to the handler, which a replacing handler
  // takes over; removing the handler drops them with the queue.
  std::unique_ptr<runloop::DefaultModeQueue> deliveries_ =
      std::make_unique<runloop::DefaultModeQueue>();
};

} // namespace hid::hidraw

#endif
