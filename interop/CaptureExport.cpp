#include "interop/CaptureExport.h"

#include "capture/CaptureReader.h"
#include "interop/ExportFile.h"
#include "interop/ExportSink.h"

#include <memory>

namespace interop {

namespace {

constexpr uint64_t kProgressEvery = 1 << 16;

} // namespace

ExportOutcome ExportCapture(const capture::CaptureReader &reader, Format format,
                            const QString &path,
                            const ExportProgress &progress) {
  ExportOutcome outcome;
  ExportFile file(path);
  const SinkMaker makeSink = SinkMakerOf(format);
  if (!makeSink) {
    outcome.error = QStringLiteral("a capture is not exported as %1")
                        .arg(FormatName(format));
    return outcome;
  }
  if (!file.open()) {
    outcome.error = file.error();
    return outcome;
  }
  const std::unique_ptr<ExportSink> sink = makeSink(reader, file);
  sink->begin();
  const uint64_t total = reader.recordCount();
  for (uint64_t i = 0; i < total && !file.failed(); ++i) {
    if (i % kProgressEvery == 0 && progress && !progress(i, total))
      return outcome; // the save file is dropped with file
    if (sink->add(i, reader.record(i)))
      ++outcome.exported;
    else
      ++outcome.skipped;
  }
  sink->end();
  outcome.written = file.commit();
  outcome.error = file.error();
  return outcome;
}

} // namespace interop
