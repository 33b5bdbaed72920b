// What a capture recorded of one device, to play into a simulated one: the
// reports read from its interface 0 (the pins' levels) and its interface 1
// (the input reports it sent), in the capture's order.
#ifndef PINWORTH_SIM_RECORDED_DEVICE_H
#define PINWORTH_SIM_RECORDED_DEVICE_H

#include "platform/simulated/SimReplay.h"
#include "platform/simulated/VirtualPinworth.h"

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

// The device of the capture's first report read, with every report read from
// its two interfaces; none when the capture read nothing. A time before the
// report's before it is taken as that one's.
std::optional<RecordedDevice>
RecordedReads(const capture::CaptureReader &reader);

} // namespace hid::sim

#endif
