// convert: a capture to another tool's format (the output's extension or
// --format says which), another tool's file to a capture (a usbmon
// capture's Pinworth named by --device when it lacks the descriptors), or
// one to the other through a capture of its own.
#include "cli/CaptureInterfaces.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "cli/StopRequests.h"

#include "capture/CaptureReader.h"
#include "interop/CaptureExport.h"
#include "interop/CaptureImport.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>

namespace cli {

namespace {

// What an import from format leaves out, after "N left out: ".
QString LeftOut(interop::Format format) {
  const QString otherReports =
      QStringLiteral("reports of other devices, or of a size their "
                     "interface does not have");
  return format == interop::Format::HidRecorder
             ? QStringLiteral("lines that do not read as a report, and ") +
                   otherReports
             : QStringLiteral("packets that carry no report (requests on "
                              "their way to the device, descriptor "
                              "exchanges), and ") +
                   otherReports;
}

} // namespace

int ConvertCapture(const Invocation &invocation) {
  using interop::Format;
  const std::optional<Format> output =
      invocation.format ? invocation.format
                        : interop::FormatOfPath(invocation.outputFile);
  if (!output) {
    PrintError(QStringLiteral("the format of %1 is not known: give it as its "
                              "extension or --format (pwcap, %2)")
                   .arg(invocation.outputFile, interop::ExportFormatNames()));
    return kExitBadArguments;
  }
  if (*output == Format::Pcap) {
    PrintError(QStringLiteral("pcap files are read, not written: write "
                              "pcapng"));
    return kExitBadArguments;
  }
  // A file whose extension names no format is taken for a capture, and
  // refused with the reason when it is not one.
  const std::optional<Format> named = interop::FormatOfPath(invocation.file);
  const Format input = named.value_or(Format::Capture);
  if (input == *output) {
    if (named || OpenCapture(invocation.file, invocation.file))
      PrintError(QStringLiteral("%1 is already %2")
                     .arg(invocation.file, interop::FormatName(input)));
    return kExitBadArguments;
  }

  QString capturePath = invocation.file;
  QTemporaryFile between(QFileInfo(invocation.outputFile).absolutePath() +
                         QStringLiteral("/.pinworth-convert-XXXXXX.pwcap"));
  if (input != Format::Capture) {
    if (*output != Format::Capture && !between.open()) {
      PrintError(QStringLiteral("no room for a capture beside %1: %2")
                     .arg(invocation.outputFile, between.errorString()));
      return kExitTransferFailed;
    }
    capturePath =
        *output == Format::Capture ? invocation.outputFile : between.fileName();
    const interop::ImportOutcome imported = interop::ImportCapture(
        invocation.file, input, capturePath, {.device = invocation.usbDevice});
    if (!imported.written) {
      PrintError(QStringLiteral("%1: %2").arg(invocation.file, imported.error));
      return kExitBadArguments;
    }
    for (const QString &note : imported.notes)
      std::fprintf(stderr, "pinworth: %s: %s\n", qPrintable(invocation.file),
                   qPrintable(note));
    std::printf("%llu reports imported from %s\n",
                static_cast<unsigned long long>(imported.imported),
                qPrintable(invocation.file));
    if (imported.skipped > 0)
      std::printf("%llu left out: %s\n",
                  static_cast<unsigned long long>(imported.skipped),
                  qPrintable(LeftOut(input)));
    if (*output == Format::Capture)
      return kExitSuccess;
  }

  const std::unique_ptr<capture::CaptureReader> reader =
      OpenCapture(capturePath, invocation.file);
  if (!reader)
    return kExitBadArguments;
  const interop::ExportOutcome exported = interop::ExportCapture(
      *reader, *output, invocation.outputFile,
      [](uint64_t, uint64_t) { return !StopRequested(); });
  if (!exported.written) {
    if (exported.error.isEmpty())
      return kExitInterrupted;
    PrintError(exported.error);
    return kExitTransferFailed;
  }
  std::printf("%llu records exported to %s, %llu skipped\n",
              static_cast<unsigned long long>(exported.exported),
              qPrintable(invocation.outputFile),
              static_cast<unsigned long long>(exported.skipped));
  return kExitSuccess;
}

} // namespace cli
