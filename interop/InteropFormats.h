// The formats a capture goes to and comes from, by name (pinworth's
// --format) and by a file's extension, each with what reads and writes it:
// a new format is a row of the table and files of its own.
#ifndef PINWORTH_INTEROP_INTEROP_FORMATS_H
#define PINWORTH_INTEROP_INTEROP_FORMATS_H

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace capture {
class CaptureReader;
}

namespace interop {

class ExportFile;
class ExportSink;
struct ImportOptions;
struct ImportedRecording;

enum class Format {
  Capture,     // the explorer's own (.pwcap)
  Pcapng,      // Linux usbmon, for Wireshark (.pcapng)
  Pcap,        // Linux usbmon from tcpdump, imported only (.pcap)
  Vcd,         // interface 0's pins, for sigrok and GTKWave (.vcd)
  HidRecorder, // hid-recorder text (.hid)
  Csv,         // the log's columns (.csv)
};

// "pwcap", "pcapng", "vcd", "hid-recorder", "csv".
QString FormatName(Format format);
std::optional<Format> FormatNamed(const QString &name);
// "pwcap", "pcapng", "vcd", "hid", "csv": the extension of its files.
QString FormatExtension(Format format);
// The format of a path's extension, none for another.
std::optional<Format> FormatOfPath(const QString &path);
// "pcapng, vcd, hid-recorder, csv": the names of what an export writes.
QString ExportFormatNames();
// A file dialog's filters for what an export writes ("Wireshark USB
// capture (*.pcapng)", ...) and what an import reads.
QStringList ExportFilters();
QStringList ImportFilters();
// The format of a filter ExportFilters() or ImportFilters() gave.
std::optional<Format> FormatOfFilter(const QString &filter);
// Whether an import reads the format: hid-recorder text, pcap, pcapng.
bool Imports(Format format);

// What reads a format's recording for an import, or says why it cannot;
// none for a format that is not imported.
using RecordingReader = std::optional<ImportedRecording> (*)(
    const QString &path, const ImportOptions &options, QString *error);
RecordingReader ReaderOf(Format format);
// What writes a capture's records in a format, into file; none for a format
// that is not exported.
using SinkMaker = std::unique_ptr<ExportSink> (*)(
    const capture::CaptureReader &reader, ExportFile &file);
SinkMaker SinkMakerOf(Format format);

} // namespace interop

#endif
