// Interface 0's pins over time as a VCD (IEEE 1364 value change dump) for
// sigrok and GTKWave: per interface 0 of the capture a scope ("A_1000_0")
// of 64 one-bit wires, A_1000_0_latch0..31 as written and
// A_1000_0_level0..31 as read (the device in each name, since sigrok reads
// no scopes), unknown (x) until the first report says. Time 0 is the capture's
// start, as in the log's time column and pinworth dump.
//
// The timescale is 100 us: finer than the 1 ms interval of a Pinworth
// endpoint, so that two reports of one kind never share a tick, and coarse
// enough that sigrok, which takes a sample every tick, holds an hour of
// pins in 36 million samples rather than the 3.6 billion of 1 us.
#ifndef PINWORTH_INTEROP_PIN_VCD_H
#define PINWORTH_INTEROP_PIN_VCD_H

#include "interop/ExportSink.h"

#include <cstdint>
#include <string>
#include <vector>

namespace capture {
class CaptureReader;
}

namespace interop {

class ExportFile;

inline constexpr int64_t kVcdTickUS = 100;

class PinVcd : public ExportSink {
public:
  // Both must outlive the sink.
  PinVcd(const capture::CaptureReader &reader, ExportFile &file);

  void begin() override;
  bool add(uint64_t i, const capture::Record &record) override;
  void end() override;

private:
  struct Wires {
    uint32_t values = 0;
    bool known = false;
    int firstWire = 0; // the wire of pin 0
  };
  struct Pins {
    Wires latch, level;
  };

  void change(Wires &wires, uint32_t values, int64_t timeUS);
  void moveTo(int64_t timeUS);

  const capture::CaptureReader &reader_;
  ExportFile &file_;
  std::vector<int> pinsOfSource_; // an index into pins_, or -1
  std::vector<Pins> pins_;
  int64_t tick_ = 0;
  int64_t lastTimeUS_ = 0;
};

} // namespace interop

#endif
