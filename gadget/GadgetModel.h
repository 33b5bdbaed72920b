// The device model behind a gadget: a VirtualPinworth shared by the threads
// of both interfaces, and for each interface the queue of input reports the
// model sent that its interrupt IN endpoint has not yet handed to the host.
#ifndef PINWORTH_GADGET_GADGET_MODEL_H
#define PINWORTH_GADGET_GADGET_MODEL_H

#include "platform/simulated/VirtualPinworth.h"

#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

class GadgetModel {
public:
  static constexpr size_t kQueueLimit = 256; // the oldest go past this

  explicit GadgetModel(hid::sim::Model model) : device_(model) {}

  // An output report from the host (interrupt OUT or SET_REPORT); the
  // model's answers are queued.
  void receiveOutputReport(int interfaceNumber,
                           const std::vector<uint8_t> &bytes);
  // The answer to GET_REPORT.
  std::vector<uint8_t> inputReport(int interfaceNumber, uint8_t reportID);
  // What the bench does to the device: a pin pulled low or let go, a key of
  // the remote pressed.
  void setPinPulledLow(int pin, bool pulledLow);
  void pressRemoteKey(uint8_t address, uint8_t command);

  // The next queued input report of interface, waiting for one until
  // stop(); none once stopped.
  std::optional<std::vector<uint8_t>> nextInputReport(int interfaceNumber);
  void stop();

private:
  void queue(const std::vector<hid::sim::InputReport> &reports);

  std::mutex mutex_;
  std::condition_variable queued_;
  hid::sim::VirtualPinworth device_;
  std::array<std::deque<std::vector<uint8_t>>, 2> inputs_;
  bool stopped_ = false;
};

#endif
