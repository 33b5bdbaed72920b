#include "interop/CaptureExport.h"

#include "capture/CaptureReader.h"
#include "interop/CaptureCsv.h"
#include "interop/ExportFile.h"
#include "interop/HidRecorderWriter.h"
#include "interop/PinVcd.h"
#include "interop/UsbmonPcapng.h"

#include <memory>

namespace interop {

namespace {

constexpr uint64_t kProgressEvery = 1 << 16;

std::unique_ptr<ExportSink>
SinkFor(Format format, const capture::CaptureReader &reader, ExportFile &file) {
  switch (format) {
  case Format::Pcapng:
    return std::make_unique<UsbmonPcapng>(reader, file);
  case Format::Vcd:
    return std::make_unique<PinVcd>(reader, file);
  case Format::HidRecorder:
    return std::make_unique<HidRecorderWriter>(reader, file);
  case Format::Csv:
    return std::make_unique<CaptureCsv>(reader, file);
  case Format::Capture:
  case Format::Pcap:
    break;
  }
  return nullptr;
}

} // namespace

ExportOutcome ExportCapture(const capture::CaptureReader &reader, Format format,
                            const QString &path,
                            const ExportProgress &progress) {
  ExportOutcome outcome;
  ExportFile file(path);
  const std::unique_ptr<ExportSink> sink = SinkFor(format, reader, file);
  if (!sink) {
    outcome.error = QStringLiteral("a capture is not exported as %1")
                        .arg(FormatName(format));
    return outcome;
  }
  if (!file.open()) {
    outcome.error = file.error();
    return outcome;
  }
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
