// The device model behind a gadget: a VirtualPinworth shared by the threads
// of both interfaces, and for each interface the queue of input reports the
// model sent that its interrupt IN endpoint has not yet handed to the host.
// A device that is unplugged sends nothing: what was queued is dropped.
#ifndef PINWORTH_GADGET_GADGET_MODEL_H
#define PINWORTH_GADGET_GADGET_MODEL_H

#include "platform/simulated/VirtualPinworth.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace gadget {

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
  // An input report of the bench's own, sent as it is.
  void sendInputReport(int interfaceNumber, std::vector<uint8_t> bytes);

  // The cable: unplugging drops every report not yet handed to the host.
  void setPlugged(bool plugged);
  bool plugged();
  // Returns true once the host took every report sent so far (or the
  // device was unplugged), false when it took none for timeout.
  bool waitUntilSent(std::chrono::milliseconds timeout);

  // The next queued input report of interface, waiting for one until
  // stop(); none once stopped. The endpoint calls reportDone() once the
  // host took it or it was given up.
  std::optional<std::vector<uint8_t>> nextInputReport(int interfaceNumber);
  void reportDone(int interfaceNumber);
  void stop();

private:
  void queue(const std::vector<hid::sim::InputReport> &reports);
  bool allSent() const;

  std::mutex mutex_;
  std::condition_variable queued_, sent_;
  hid::sim::VirtualPinworth device_;
  std::array<std::deque<std::vector<uint8_t>>, 2> inputs_;
  std::array<bool, 2> inFlight_ = {}; // taken by the endpoint, not yet done
  bool plugged_ = true;
  bool stopped_ = false;
};

} // namespace gadget

#endif
