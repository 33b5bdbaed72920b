// A capture of a known pattern for the exports' tests: interface 0 of
// PinworthA 1000 (source 0) and interface 1 of PinworthB 2000 (source 1),
// reports read and written, a gap and an event between them.
#ifndef PINWORTH_TESTS_INTEROP_KNOWN_CAPTURE_H
#define PINWORTH_TESTS_INTEROP_KNOWN_CAPTURE_H

#include "capture/CaptureReader.h"
#include "capture/CaptureWriter.h"
#include "core/interfaces/CaptureSources.h"
#include "platform/PinworthDescriptors.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

struct KnownRow {
  bool written;
  uint16_t source;
  int64_t timeUS;
  std::optional<uint8_t> reportID;
  std::vector<uint8_t> data;
};

inline const std::vector<KnownRow> &KnownRows() {
  static const std::vector<KnownRow> kRows = {
      {false, 0, 1000, {}, {0xff, 0xff, 0xff, 0xff}},
      {true, 0, 2000, {}, {0x01, 0x00, 0x00, 0x00}},
      {false, 1, 3500, 0x06, {'A', 'B', 'C', 'D', 'E', 'F', 'G'}},
      {true, 1, 4000, 0x05, {'T', 'e', 's', 't', 0, 0, 0}},
      {false, 0, 50000, {}, {0xfe, 0xff, 0xff, 0x7f}},
      {true, 0, 50300, {}, {0x03, 0x00, 0x00, 0x80}},
      {false, 1, 100000, 0x0c, {1, 2, 3, 4, 5, 6, 7}},
      {false, 0, 150000, {}, {0xff, 0xff, 0xff, 0xff}},
  };
  return kRows;
}

inline const core::InterfaceIdentity kKnownA0{0, 1000, 0};
inline const core::InterfaceIdentity kKnownB1{3, 2000, 0};

// Writes the known capture to path, with a listening event before the
// third row and a gap before the fifth; returns its reader.
inline std::unique_ptr<capture::CaptureReader>
WriteKnownCapture(const QString &path) {
  std::string reason;
  auto writer = capture::CaptureWriter::create(path.toStdString(), &reason);
  if (!writer)
    return nullptr;
  writer->addInterface(
      core::CaptureEntry(kKnownA0, pinworth::Interface0ReportDescriptor()));
  writer->addInterface(
      core::CaptureEntry(kKnownB1, pinworth::Interface1ReportDescriptor()));
  for (size_t i = 0; i < KnownRows().size(); ++i) {
    const KnownRow &row = KnownRows()[i];
    if (i == 2)
      writer->appendEvent(1, row.timeUS - 100,
                          capture::EventKind::ListeningStarted);
    if (i == 4)
      writer->appendLoss(0, row.timeUS - 100, 3);
    writer->appendReport(row.written, row.source, row.timeUS, row.reportID,
                         row.data.data(), int(row.data.size()));
  }
  writer->close();
  return capture::CaptureReader::open(path.toStdString(), &reason);
}

#endif
