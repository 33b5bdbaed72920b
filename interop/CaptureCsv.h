// A capture as the log's CSV: the log's header and columns, every record a
// row (reports, gaps, events and where disk writing stopped), the time
// column in seconds since the capture began, as pinworth dump prints them.
#ifndef PINWORTH_INTEROP_CAPTURE_CSV_H
#define PINWORTH_INTEROP_CAPTURE_CSV_H

#include "interop/ExportSink.h"

namespace capture {
class CaptureReader;
}

namespace interop {

class ExportFile;

class CaptureCsv : public ExportSink {
public:
  // Both must outlive the sink.
  CaptureCsv(const capture::CaptureReader &reader, ExportFile &file);

  void begin() override;
  bool add(uint64_t i, const capture::Record &record) override;

private:
  const capture::CaptureReader &reader_;
  ExportFile &file_;
};

} // namespace interop

#endif
