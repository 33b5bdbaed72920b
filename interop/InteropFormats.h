// The formats a capture goes to and comes from, by name (pinworth's
// --format) and by a file's extension.
#ifndef PINWORTH_INTEROP_INTEROP_FORMATS_H
#define PINWORTH_INTEROP_INTEROP_FORMATS_H

#include <QString>
#include <QStringList>

#include <optional>

namespace interop {

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

} // namespace interop

#endif
