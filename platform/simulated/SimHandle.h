// A handle on one interface of a simulated device. It keeps the backend's
// state alive, so it stays safe to use after its device was detached. While
// it is open with a handler, the kernel keeps a queue for it (see
// SimKernelQueues.h), read into its report queue. Requests made without
// waiting are answered on the event loop, as on hidraw.
#ifndef PINWORTH_SIM_HANDLE_H
#define PINWORTH_SIM_HANDLE_H

#include "platform/InterruptDelivery.h"
#include "platform/simulated/SimState.h"

#include <chrono>
#include <functional>
#include <memory>

namespace hid::sim {

class SimHandle : public DeviceInterface, private InterruptSource {
public:
  SimHandle(std::shared_ptr<SimState> state, DeviceID device,
            int interfaceNumber);
  ~SimHandle() override;

  // Its index in the backend's handle histories.
  int historyIndex() const { return history_; }

  Status checkAccess() const override;
  Status open(uint32_t options) override;
  Status close() override;
  Status setReport(ReportType type, uint32_t reportID, const void *buffer,
                   uint32_t size, uint32_t timeoutMS) override;
  Status getReport(ReportType type, uint32_t reportID, void *buffer,
                   uint32_t *ioSize, uint32_t timeoutMS) override;
  void setReportLater(ReportType type, uint32_t reportID,
                      std::vector<uint8_t> bytes, uint32_t timeoutMS,
                      TransferDone done) override;
  void getReportLater(ReportType type, uint32_t reportID, uint32_t size,
                      uint32_t timeoutMS, TransferDone done) override;
  Status setInterruptReportHandlerCallback(void *buffer, uint32_t bufferSize,
                                           ReportCallback callback,
                                           void *target, void *refcon) override;
  uint64_t lostInterruptReports() const override;
  ReportTime interruptReportTime() const override;
  Status copyProperties(PropertyTable &outTable) const override;
  Status copyReportDescriptor(std::vector<uint8_t> &outBytes) const override;

protected:
  void releasing() override;

private:
  HandleHistory &history();
  InterfaceFaults &faults();
  // Attached, and not plugged back since the handle was made.
  bool attached() const;

  // The common checks of a transfer; a pending one-shot fault is consumed.
  Status checkTransfer(uint32_t timeoutMS, Status &oneShotFault);

  // A request made without waiting: one the stalled device does not answer
  // is answered with stalledStatus after its timeout, and those made
  // meanwhile are answered busy right after it, as on hidraw; any other is
  // made at once and answered from the next turn of the event loop.
  void answerLater(uint32_t timeoutMS, Status stalledStatus, TransferDone done,
                   const std::function<Status(std::vector<uint8_t> &)> &make);

  // InterruptSource. As on hidraw, reports arrive while the handle is open.
  bool isOpen() const override;
  bool deviceGone() const override;
  Status closedStatus() const override;
  bool startReading(InputReportQueue::Writer writer) override;
  void stopReading() override;

  std::shared_ptr<SimState> state_;
  DeviceID device_;
  int interfaceNumber_;
  int history_;
  int attachment_ = 0;
  Status lastOpenStatus_ = kSuccess;
  int kernelQueue_ = 0; // its key while read
  // Until then a request made without waiting waits for the stalled device.
  std::chrono::steady_clock::time_point stalledUntil_{};
  InterruptDelivery interrupts_{this, *this};
};

} // namespace hid::sim

#endif
