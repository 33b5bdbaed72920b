#include "interop/CaptureImport.h"

#include "capture/CaptureWriter.h"
#include "core/interfaces/CaptureSources.h"

#include <QFile>

#include <algorithm>

namespace interop {

namespace {

// The occurrence of each device: how many before it are named as it is.
std::vector<int>
Occurrences(const std::vector<core::InterfaceIdentity> &devices) {
  std::vector<int> occurrences;
  for (auto device = devices.begin(); device != devices.end(); ++device)
    occurrences.push_back(int(std::count(devices.begin(), device, *device)));
  return occurrences;
}

// The outcome once the writer closed: written, or with its reason and no
// capture left.
ImportOutcome Closed(capture::CaptureWriter &writer, const QString &capturePath,
                     ImportOutcome outcome) {
  const capture::CaptureWriter::Status status = writer.close();
  outcome.written = !status.failed;
  if (status.failed) {
    outcome.error = QString::fromStdString(status.error);
    QFile::remove(capturePath);
  }
  return outcome;
}

// Writes recording as a capture at capturePath: the one way every format
// is imported.
ImportOutcome WriteImported(const ImportedRecording &recording,
                            const QString &capturePath) {
  ImportOutcome outcome;
  outcome.skipped = recording.skipped;
  outcome.notes = recording.notes;
  if (recording.devices.empty()) {
    outcome.error = recording.noPinworth;
    return outcome;
  }
  std::string reason;
  const std::unique_ptr<capture::CaptureWriter> writer =
      capture::CaptureWriter::create(capturePath.toStdString(), &reason,
                                     recording.startUnixUS);
  if (!writer) {
    outcome.error = QString::fromStdString(reason);
    return outcome;
  }
  const std::vector<int> occurrences = Occurrences(recording.devices);
  std::vector<uint16_t> sources;
  for (const ImportedInterface &interface : recording.interfaces) {
    core::InterfaceIdentity identity = interface.identity;
    identity.occurrence = occurrences[interface.device];
    sources.push_back(writer->addInterface(
        core::CaptureEntry(identity, interface.descriptor)));
  }
  for (const ImportedReport &report : recording.reports) {
    const int number =
        report.interface ? recording.interfaces[*report.interface]
                               .identity.interfaceNumber()
                         : -1;
    const std::optional<int> size =
        report.interface ? CapturedDataSize(report.bytes, number)
                         : std::nullopt;
    if (!size) {
      ++outcome.skipped;
      continue;
    }
    const bool numbered = number == 1;
    writer->appendReport(
        report.written, sources[*report.interface], report.timeUS,
        numbered ? std::optional(report.bytes[0]) : std::nullopt,
        report.bytes.data() + int(numbered), *size);
    ++outcome.imported;
  }
  return Closed(*writer, capturePath, outcome);
}

} // namespace

ImportOutcome ImportCapture(const QString &path, Format format,
                            const QString &capturePath,
                            const ImportOptions &options) {
  ImportOutcome outcome;
  const RecordingReader read = ReaderOf(format);
  if (!read) {
    outcome.error =
        QStringLiteral("%1 files are not imported").arg(FormatName(format));
    return outcome;
  }
  const std::optional<ImportedRecording> recording =
      read(path, options, &outcome.error);
  if (!recording)
    return outcome;
  return WriteImported(*recording, capturePath);
}

} // namespace interop
