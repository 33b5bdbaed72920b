#include "core/interfaces/InterfaceInfo.h"

#include <QStringList>

namespace core {

namespace {

using hid::descriptor::Report;

QString Hex(std::optional<int32_t> value) {
  return value ? QStringLiteral("0x%1").arg(*value, 4, 16, QLatin1Char('0'))
               : QStringLiteral("none");
}

QString Text(const std::optional<std::string> &value) {
  return value ? QString::fromStdString(*value) : QStringLiteral("none");
}

} // namespace

QString StatusText(hid::Status status) {
  return QString::fromUtf8(hid::StatusString(status));
}

QString ReportIDText(uint8_t id) {
  return QStringLiteral("%1").arg(id, 2, 16, QLatin1Char('0')).toUpper();
}

InterfaceInfo ReadInterfaceInfo(const hid::DeviceInterface &handle) {
  InterfaceInfo info;
  info.propertiesStatus = handle.copyProperties(info.properties);
  info.descriptorStatus = handle.copyReportDescriptor(info.descriptor);
  if (info.descriptorStatus == hid::kSuccess)
    info.decoded =
        hid::descriptor::Decode(info.descriptor.data(), info.descriptor.size());
  return info;
}

std::vector<std::pair<QString, QString>>
PropertyLines(const InterfaceInfo &info) {
  if (info.propertiesStatus != hid::kSuccess)
    return {{QStringLiteral("Properties"),
             QStringLiteral("unreadable: %1")
                 .arg(StatusText(info.propertiesStatus))}};
  const hid::PropertyTable &p = info.properties;
  return {
      {QStringLiteral("Vendor ID"), Hex(p.vendorID)},
      {QStringLiteral("Product ID"), Hex(p.productID)},
      {QStringLiteral("Serial number"), Text(p.serialNumber)},
      {QStringLiteral("Interface"), p.interfaceNumber
                                        ? QString::number(*p.interfaceNumber)
                                        : QStringLiteral("none")},
      {QStringLiteral("Manufacturer"), Text(p.manufacturer)},
      {QStringLiteral("Product"), Text(p.product)},
      {QStringLiteral("Device node"), Text(p.nodePath)},
  };
}

QString DescriptorHexText(const std::vector<uint8_t> &descriptor) {
  QStringList lines;
  for (size_t offset = 0; offset < descriptor.size(); offset += 16) {
    QString line = QStringLiteral("%1 ").arg(offset, 4, 16, QLatin1Char('0'));
    for (size_t i = offset; i < std::min(offset + 16, descriptor.size()); ++i)
      line += QStringLiteral(" %1").arg(descriptor[i], 2, 16, QLatin1Char('0'));
    lines.append(line);
  }
  return lines.join(QLatin1Char('\n'));
}

QString InterfaceInfoText(const QString &name, const InterfaceInfo &info) {
  QString text = name + QStringLiteral("\n\n");
  for (const auto &[key, value] : PropertyLines(info))
    text += QStringLiteral("%1: %2\n").arg(key, value);
  text += QStringLiteral("\nReport descriptor");
  if (info.descriptorStatus != hid::kSuccess)
    return text + QStringLiteral(": unreadable: %1\n")
                      .arg(StatusText(info.descriptorStatus));
  text += QStringLiteral(" (%1 bytes)\n").arg(info.descriptor.size());
  text += DescriptorHexText(info.descriptor) + QStringLiteral("\n\n");
  text += QString::fromStdString(
      hid::descriptor::FormatItems(info.decoded, info.descriptor.data()));
  text += QStringLiteral("\n");
  text += QString::fromStdString(hid::descriptor::FormatReports(info.decoded));
  return text;
}

std::optional<QString> ReportMismatch(const InterfaceInfo &info,
                                      std::optional<uint8_t> reportID,
                                      int dataBytes) {
  if (info.descriptorStatus != hid::kSuccess || info.decoded.error)
    return std::nullopt;
  const uint8_t wanted = reportID.value_or(0);
  QStringList declared;
  for (const Report &report : info.decoded.reports) {
    if (report.kind != Report::Kind::Output)
      continue;
    if (report.reportID == wanted) {
      if (int(report.dataBytes) == dataBytes)
        return std::nullopt;
      return QStringLiteral("Report %1 has %2 data bytes, not %3")
          .arg(reportID ? ReportIDText(wanted) : QStringLiteral("(no ID)"))
          .arg(report.dataBytes)
          .arg(dataBytes);
    }
    declared.append(ReportIDText(report.reportID));
  }
  if (!info.decoded.usesReportIDs && reportID)
    return QStringLiteral("No report IDs on this interface");
  if (declared.isEmpty())
    return QStringLiteral("No output report declared");
  return QStringLiteral("Undeclared report %1 (%2)")
      .arg(ReportIDText(wanted), declared.join(QLatin1Char(' ')));
}

} // namespace core
