#include "interop/InteropFormats.h"

#include "interop/CaptureCsv.h"
#include "interop/HidRecorderImport.h"
#include "interop/HidRecorderWriter.h"
#include "interop/PinVcd.h"
#include "interop/UsbmonImport.h"
#include "interop/UsbmonPcapng.h"

#include <QFileInfo>

#include <array>

namespace interop {

namespace {

struct FormatInfo {
  Format format;
  const char *name;
  const char *extension;
  const char *filter;
  SinkMaker exporter;
  RecordingReader importer;
};

template <typename Sink>
std::unique_ptr<ExportSink> Make(const capture::CaptureReader &reader,
                                 ExportFile &file) {
  return std::make_unique<Sink>(reader, file);
}

constexpr std::array<FormatInfo, 6> kFormats = {{
    {Format::Capture, "pwcap", "pwcap", "Pinworth capture (*.pwcap)", nullptr,
     nullptr},
    {Format::Pcapng, "pcapng", "pcapng", "Wireshark USB capture (*.pcapng)",
     Make<UsbmonPcapng>, ImportUsbmon},
    {Format::Pcap, "pcap", "pcap", "tcpdump USB capture (*.pcap)", nullptr,
     ImportUsbmon},
    {Format::Vcd, "vcd", "vcd", "Pin signals, VCD (*.vcd)", Make<PinVcd>,
     nullptr},
    {Format::HidRecorder, "hid-recorder", "hid", "hid-recorder text (*.hid)",
     Make<HidRecorderWriter>, ImportHidRecorder},
    {Format::Csv, "csv", "csv", "CSV (*.csv)", Make<CaptureCsv>, nullptr},
}};

const FormatInfo &Info(Format format) {
  return kFormats[size_t(format)];
}

template <typename Member> QStringList Filters(Member FormatInfo::*which) {
  QStringList filters;
  for (const FormatInfo &info : kFormats)
    if (info.*which)
      filters << QString::fromLatin1(info.filter);
  return filters;
}

} // namespace

QString FormatName(Format format) {
  return QString::fromLatin1(Info(format).name);
}

QString FormatExtension(Format format) {
  return QString::fromLatin1(Info(format).extension);
}

std::optional<Format> FormatNamed(const QString &name) {
  for (const FormatInfo &info : kFormats)
    if (name == QLatin1String(info.name))
      return info.format;
  return std::nullopt;
}

std::optional<Format> FormatOfPath(const QString &path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  for (const FormatInfo &info : kFormats)
    if (suffix == QLatin1String(info.extension))
      return info.format;
  return std::nullopt;
}

QString ExportFormatNames() {
  QStringList names;
  for (const FormatInfo &info : kFormats)
    if (info.exporter)
      names << QString::fromLatin1(info.name);
  return names.join(QStringLiteral(", "));
}

QStringList ExportFilters() {
  return Filters(&FormatInfo::exporter);
}

QStringList ImportFilters() {
  return Filters(&FormatInfo::importer);
}

bool Imports(Format format) {
  return ReaderOf(format) != nullptr;
}

RecordingReader ReaderOf(Format format) {
  return Info(format).importer;
}

SinkMaker SinkMakerOf(Format format) {
  return Info(format).exporter;
}

std::optional<Format> FormatOfFilter(const QString &filter) {
  for (const FormatInfo &info : kFormats)
    if (filter == QLatin1String(info.filter))
      return info.format;
  return std::nullopt;
}

} // namespace interop
