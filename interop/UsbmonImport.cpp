#include "interop/UsbmonImport.h"

#include "interop/UsbmonReader.h"
#include "lib/PinworthLib.h"
#include "platform/PinworthProtocol.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>

namespace interop {

namespace {

// The interface type of a usbmon device's interface 0, or none when it is
// not a Pinworth (nor the device options name).
std::optional<int> PinworthType(const UsbmonDevice &device,
                                const ImportOptions &options) {
  const bool named = options.device && options.device->first == device.bus &&
                     options.device->second == device.address;
  const std::optional<int> model =
      Interface0OfIDs(device.vendorID, device.productID);
  return model   ? model
         : named ? std::optional(kPinworthAInterface0)
                 : std::nullopt;
}

// A device's interrupt endpoint.
using Endpoint = std::pair<size_t, uint8_t>;

// The interface of each interrupt endpoint of a Pinworth that the
// capture's enumeration does not name, told by its reports' sizes: a
// Pinworth's interface 0 carries 4-byte reports, its interface 1 8-byte
// ones. Each guess goes into the notes; an endpoint whose reports tell
// neither fails the import, with the reason.
std::optional<std::map<Endpoint, int>>
EndpointsBySize(const UsbmonRecording &recording,
                const std::vector<std::optional<size_t>> &pinworths,
                QStringList &notes, QString *error) {
  std::map<Endpoint, std::set<size_t>> sizes;
  for (const UsbmonReport &report : recording.reports)
    if (report.interfaceNumber < 0 && pinworths[report.device])
      sizes[{report.device, report.endpoint}].insert(report.bytes.size());
  std::map<Endpoint, int> interfaces;
  for (const auto &[endpoint, seen] : sizes) {
    const UsbmonDevice &device = recording.devices[endpoint.first];
    const QString name = QStringLiteral("endpoint 0x%1 of device %2:%3")
                             .arg(endpoint.second, 2, 16, QLatin1Char('0'))
                             .arg(device.bus)
                             .arg(device.address);
    QStringList sizeTexts;
    for (const size_t size : seen)
      sizeTexts << QString::number(size);
    const std::set<size_t> kInterface0{pinworth::kInterface0ReportSize};
    const std::set<size_t> kInterface1{pinworth::kInterface1ReportSize};
    const int number = seen == kInterface0 ? 0 : seen == kInterface1 ? 1 : -1;
    if (number < 0) {
      *error = QStringLiteral("the interface of %1 cannot be told: the capture "
                              "does not hold the device's enumeration, and its "
                              "reports are of %2 bytes")
                   .arg(name, sizeTexts.join(QStringLiteral(" and ")));
      return std::nullopt;
    }
    interfaces[endpoint] = number;
    notes << QStringLiteral("%1 taken for interface %2, as its reports are of "
                            "%3 bytes")
                 .arg(name)
                 .arg(number)
                 .arg(sizeTexts.first());
  }
  return interfaces;
}

} // namespace

std::optional<ImportedRecording> ImportUsbmon(const QString &path,
                                              const ImportOptions &options,
                                              QString *error) {
  std::FILE *file = std::fopen(QFile::encodeName(path).constData(), "rb");
  if (!file) {
    *error = QString::fromLocal8Bit(std::strerror(errno));
    return std::nullopt;
  }
  std::string reason;
  const std::optional<UsbmonRecording> recording = ReadUsbmon(file, &reason);
  if (!recording) {
    *error = QString::fromStdString(reason);
    return std::nullopt;
  }
  ImportedRecording imported;
  imported.skipped = recording->skipped;
  imported.startUnixUS = recording->firstUnixUS;
  imported.noPinworth = QStringLiteral(
      "it holds no Pinworth device: name one with --device BUS:ADDRESS");
  // Per usbmon device, its place in the devices, none for another device.
  std::vector<std::optional<size_t>> pinworths;
  for (const UsbmonDevice &device : recording->devices) {
    const std::optional<int> type = PinworthType(device, options);
    pinworths.push_back(type ? std::optional(imported.devices.size())
                             : std::nullopt);
    if (type)
      imported.devices.push_back(
          core::InterfaceIdentity{*type, device.serialNumber.value_or(0), 0});
  }
  const std::optional<std::map<Endpoint, int>> bySize =
      EndpointsBySize(*recording, pinworths, imported.notes, error);
  if (!bySize)
    return std::nullopt;
  // The capture's interfaces in the order they first carry a report it
  // holds.
  std::map<std::pair<size_t, int>, size_t> interfaces;
  for (UsbmonReport report : recording->reports) {
    const std::optional<size_t> device = pinworths[report.device];
    ImportedReport &added = imported.reports.emplace_back();
    added.written = report.written;
    added.timeUS = int64_t(uint64_t(report.unixUS) -
                           uint64_t(recording->firstUnixUS.value_or(0)));
    added.bytes = std::move(report.bytes);
    if (!device)
      continue;
    if (report.interfaceNumber < 0)
      report.interfaceNumber = bySize->at({report.device, report.endpoint});
    const auto key = std::pair(report.device, report.interfaceNumber);
    if (!interfaces.count(key) &&
        CapturedDataSize(added.bytes, report.interfaceNumber)) {
      core::InterfaceIdentity identity = imported.devices[*device];
      identity.interfaceType += report.interfaceNumber;
      interfaces[key] = imported.interfaces.size();
      imported.interfaces.push_back(
          {*device, identity,
           recording->devices[report.device]
               .reportDescriptors[size_t(report.interfaceNumber)]});
    }
    if (interfaces.count(key))
      added.interface = interfaces.at(key);
  }
  return imported;
}

} // namespace interop
