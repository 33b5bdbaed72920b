// A capture as hid-recorder text, for HID bug reports: per interface a
// device (D:) with its report descriptor (R:), name (N:), path (P:) and bus
// and IDs (I:), then its input reports as E: lines (seconds since the first
// report, the size, the bytes, the report ID first when the interface
// numbers its reports). The format has no line for an output report, so a
// report written goes out as a comment, "# W: 0.001000 4 01 02 03 04",
// which HidRecorderReader reads back. Gaps and events are skipped.
#ifndef PINWORTH_INTEROP_HID_RECORDER_WRITER_H
#define PINWORTH_INTEROP_HID_RECORDER_WRITER_H

#include "interop/ExportSink.h"

#include <cstdint>
#include <optional>

namespace capture {
class CaptureReader;
}

namespace interop {

class ExportFile;

class HidRecorderWriter : public ExportSink {
public:
  // Both must outlive the sink.
  HidRecorderWriter(const capture::CaptureReader &reader, ExportFile &file);

  void begin() override;
  bool add(uint64_t i, const capture::Record &record) override;

private:
  const capture::CaptureReader &reader_;
  ExportFile &file_;
  std::optional<int64_t> firstTimeUS_;
  int device_ = 0; // the device of the last D: line
};

} // namespace interop

#endif
