// What a capture recorded of one device, to play into a simulated one: the
// reports read from its interface 0 (the pins' levels) and its interface 1
// (the input reports it sent), in the capture's order.
#ifndef PINWORTH_SIM_RECORDED_DEVICE_H
#define PINWORTH_SIM_RECORDED_DEVICE_H

#include "platform/simulated/VirtualPinworth.h"
#include "sim_replay/SimReplay.h"

#include <optional>
#include <vector>

namespace capture {
class CaptureReader;
}

namespace hid::sim {

struct RecordedDevice {
  Model model = Model::PinworthA;
  int32_t serialNumber = 0;
  std::vector<SimReplay::Report> reports;
};

// What a recording (a capture, a log's rows) read of the device of its first
// report read, gathered report by report in the recording's order.
class RecordedReadsBuilder {
public:
  // A report read, at timeUS, from interfaceType (model * 2 + interface
  // number) of the device with serialNumber (its occurrence-th, among devices
  // that report one serial number); bytes are led by the report ID when it
  // has one. A report of another device than the first one's, or of a type
  // outside 0..3, is left out; a time before the report's before it is taken
  // as that one's.
  void add(int interfaceType, int32_t serialNumber, int occurrence,
           int64_t timeUS, std::vector<uint8_t> bytes);
  // None when nothing was added that was kept.
  std::optional<RecordedDevice> take() && { return std::move(device_); }

private:
  std::optional<RecordedDevice> device_;
  int occurrence_ = 0;
};

// The device of the capture's first report read, with every report read from
// its two interfaces; none when the capture read nothing.
std::optional<RecordedDevice>
RecordedReads(const capture::CaptureReader &reader);

} // namespace hid::sim

#endif
