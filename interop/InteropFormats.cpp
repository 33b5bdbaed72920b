#include "interop/InteropFormats.h"

#include <QFileInfo>

#include <array>

namespace interop {

namespace {

struct FormatInfo {
  Format format;
  const char *name;
  const char *extension;
  const char *filter;
  bool exported;
  bool imported;
};

constexpr std::array<FormatInfo, 6> kFormats = {{
    {Format::Capture, "pwcap", "pwcap", "Pinworth capture (*.pwcap)", false,
     false},
    {Format::Pcapng, "pcapng", "pcapng", "Wireshark USB capture (*.pcapng)",
     true, true},
    {Format::Pcap, "pcap", "pcap", "tcpdump USB capture (*.pcap)", false, true},
    {Format::Vcd, "vcd", "vcd", "Pin signals, VCD (*.vcd)", true, false},
    {Format::HidRecorder, "hid-recorder", "hid", "hid-recorder text (*.hid)",
     true, true},
    {Format::Csv, "csv", "csv", "CSV (*.csv)", true, false},
}};

const FormatInfo &Info(Format format) {
  return kFormats[size_t(format)];
}

QStringList Filters(bool FormatInfo::*which) {
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
    if (info.exported)
      names << QString::fromLatin1(info.name);
  return names.join(QStringLiteral(", "));
}

QStringList ExportFilters() {
  return Filters(&FormatInfo::exported);
}

QStringList ImportFilters() {
  return Filters(&FormatInfo::imported);
}

bool Imports(Format format) {
  for (const FormatInfo &info : kFormats)
    if (info.format == format)
      return info.imported;
  return false;
}

std::optional<Format> FormatOfFilter(const QString &filter) {
  for (const FormatInfo &info : kFormats)
    if (filter == QLatin1String(info.filter))
      return info.format;
  return std::nullopt;
}

} // namespace interop
