#include "interop/CaptureImport.h"

#include "capture/CaptureWriter.h"
#include "core/interfaces/CaptureSources.h"
#include "interop/HidRecorderReader.h"
#include "interop/UsbmonReader.h"
#include "lib/PinworthLib.h"
#include "platform/PinworthDescriptors.h"
#include "platform/PinworthProtocol.h"
#include "platform/PinworthUSBIDs.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <set>

namespace interop {

namespace {

// The interface type of interface 0 of the model with these USB IDs, none
// for a device that is not a Pinworth.
std::optional<int> Interface0OfIDs(int vendorID, int productID) {
  if (vendorID != pinworth::kUSBVendorID)
    return std::nullopt;
  if (productID == pinworth::kUSBProductIDA)
    return kPinworthAInterface0;
  if (productID == pinworth::kUSBProductIDB)
    return kPinworthBInterface0;
  return std::nullopt;
}

// The interface a recorded device is, or none when it is not a Pinworth's:
// the model from its IDs, the interface from its report descriptor (else
// its path's "/inputN"), the serial number from its path's "SN1000" (else 0).
std::optional<InterfaceIdentity>
PinworthInterface(const HidRecordedDevice &device) {
  const std::optional<int> model =
      Interface0OfIDs(device.vendorID, device.productID);
  if (!model)
    return std::nullopt;
  static const QRegularExpression kInput(QStringLiteral(R"(/input([01])$)"));
  static const QRegularExpression kSerial(QStringLiteral(R"(SN(\d{1,9}))"));
  const QString path = QString::fromStdString(device.path);
  int number = -1;
  if (device.descriptor == pinworth::Interface0ReportDescriptor())
    number = 0;
  else if (device.descriptor == pinworth::Interface1ReportDescriptor())
    number = 1;
  else if (const QRegularExpressionMatch input = kInput.match(path);
           input.hasMatch())
    number = input.captured(1).toInt();
  if (number < 0)
    return std::nullopt;
  InterfaceIdentity identity;
  identity.interfaceType = *model + number;
  if (const QRegularExpressionMatch serial = kSerial.match(path);
      serial.hasMatch())
    identity.serialNumber = serial.captured(1).toInt();
  return identity;
}

// The outcome once the writer closed: written, or with its reason and no
// capture left.
ImportOutcome Closed(capture::CaptureWriter &writer, const QString &capturePath,
                     ImportOutcome outcome) {
  const capture::CaptureWriter::Status status = writer.close();
  outcome.written = !status.failed;
  if (status.failed) {
    outcome.error = QString::fromStdString(status.reason);
    QFile::remove(capturePath);
  }
  return outcome;
}

ImportOutcome ImportHidRecording(const HidRecording &recording,
                                 const QString &capturePath) {
  ImportOutcome outcome;
  outcome.skipped = recording.linesSkipped;
  std::vector<std::optional<InterfaceIdentity>> identities;
  for (const HidRecordedDevice &device : recording.devices) {
    std::optional<InterfaceIdentity> identity = PinworthInterface(device);
    if (identity)
      identity->occurrence =
          int(std::count(identities.begin(), identities.end(), identity));
    identities.push_back(identity);
  }
  if (std::count(identities.begin(), identities.end(), std::nullopt) ==
      ptrdiff_t(identities.size())) {
    outcome.error = QStringLiteral("it holds no Pinworth device");
    return outcome;
  }
  std::string reason;
  const std::unique_ptr<capture::CaptureWriter> writer =
      capture::CaptureWriter::create(capturePath.toStdString(), &reason);
  if (!writer) {
    outcome.error = QString::fromStdString(reason);
    return outcome;
  }
  std::vector<uint16_t> sources;
  for (size_t i = 0; i < identities.size(); ++i)
    sources.push_back(
        identities[i] ? writer->addInterface(CaptureEntry(
                            *identities[i], recording.devices[i].descriptor))
                      : capture::kNoSource);
  for (const HidRecordedReport &report : recording.reports) {
    const uint16_t source = sources[report.device];
    const bool numbered = source != capture::kNoSource &&
                          identities[report.device]->interfaceNumber() == 1;
    const int size = int(report.bytes.size()) - int(numbered);
    if (source == capture::kNoSource || size < 0 ||
        size > capture::kMaxDataSize) {
      ++outcome.skipped;
      continue;
    }
    writer->appendReport(report.written, source, report.timeUS,
                         numbered ? std::optional(report.bytes[0])
                                  : std::nullopt,
                         report.bytes.data() + int(numbered), size);
    ++outcome.imported;
  }
  return Closed(*writer, capturePath, outcome);
}

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
// ones. Each guess goes into the outcome's notes; an endpoint whose reports
// tell neither fails the import, with the reason.
std::optional<std::map<Endpoint, int>>
EndpointsBySize(const UsbmonRecording &recording,
                const std::vector<std::optional<InterfaceIdentity>> &pinworths,
                ImportOutcome &outcome) {
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
      outcome.error =
          QStringLiteral("the interface of %1 cannot be told: the capture "
                         "does not hold the device's enumeration, and its "
                         "reports are of %2 bytes")
              .arg(name, sizeTexts.join(QStringLiteral(" and ")));
      return std::nullopt;
    }
    interfaces[endpoint] = number;
    outcome.notes << QStringLiteral("%1 taken for interface %2, as its "
                                    "reports are of %3 bytes")
                         .arg(name)
                         .arg(number)
                         .arg(sizeTexts.first());
  }
  return interfaces;
}

ImportOutcome ImportUsbmon(const UsbmonRecording &recording,
                           const QString &capturePath,
                           const ImportOptions &options) {
  ImportOutcome outcome;
  outcome.skipped = recording.skipped;
  // Per device, its interfaces' identities, none for another device's.
  std::vector<std::optional<InterfaceIdentity>> firstInterfaces;
  for (const UsbmonDevice &device : recording.devices) {
    const std::optional<int> type = PinworthType(device, options);
    std::optional<InterfaceIdentity> identity;
    if (type) {
      identity = InterfaceIdentity{*type, device.serialNumber.value_or(0), 0};
      identity->occurrence = int(
          std::count(firstInterfaces.begin(), firstInterfaces.end(), identity));
    }
    firstInterfaces.push_back(identity);
  }
  if (std::count(firstInterfaces.begin(), firstInterfaces.end(),
                 std::nullopt) == ptrdiff_t(firstInterfaces.size())) {
    outcome.error = QStringLiteral(
        "it holds no Pinworth device: name one with --device BUS:ADDRESS");
    return outcome;
  }
  const std::optional<std::map<Endpoint, int>> bySize =
      EndpointsBySize(recording, firstInterfaces, outcome);
  if (!bySize)
    return outcome;
  std::string reason;
  const std::unique_ptr<capture::CaptureWriter> writer =
      capture::CaptureWriter::create(capturePath.toStdString(), &reason,
                                     recording.firstUnixUS);
  if (!writer) {
    outcome.error = QString::fromStdString(reason);
    return outcome;
  }
  // The capture's source of each device's interfaces, added as they first
  // carry a report.
  std::map<std::pair<size_t, int>, uint16_t> sources;
  for (UsbmonReport report : recording.reports) {
    const std::optional<InterfaceIdentity> &first =
        firstInterfaces[report.device];
    if (report.interfaceNumber < 0 && first)
      report.interfaceNumber = bySize->at({report.device, report.endpoint});
    const bool numbered = report.interfaceNumber == 1;
    const int size = int(report.bytes.size()) - int(numbered);
    if (!first || size < 0 || size > capture::kMaxDataSize) {
      ++outcome.skipped;
      continue;
    }
    const auto key = std::pair(report.device, report.interfaceNumber);
    if (!sources.count(key)) {
      InterfaceIdentity identity = *first;
      identity.interfaceType += report.interfaceNumber;
      const std::vector<uint8_t> &descriptor =
          recording.devices[report.device]
              .reportDescriptors[size_t(report.interfaceNumber)];
      sources[key] = writer->addInterface(CaptureEntry(identity, descriptor));
    }
    writer->appendReport(
        report.written, sources[key],
        int64_t(uint64_t(report.unixUS) - uint64_t(*recording.firstUnixUS)),
        numbered ? std::optional(report.bytes[0]) : std::nullopt,
        report.bytes.data() + int(numbered), size);
    ++outcome.imported;
  }
  return Closed(*writer, capturePath, outcome);
}

} // namespace

ImportOutcome ImportCapture(const QString &path, Format format,
                            const QString &capturePath,
                            const ImportOptions &options) {
  ImportOutcome outcome;
  if (format == Format::Pcapng || format == Format::Pcap) {
    std::FILE *file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!file) {
      outcome.error = QString::fromLocal8Bit(std::strerror(errno));
      return outcome;
    }
    std::string reason;
    const std::optional<UsbmonRecording> recording = ReadUsbmon(file, &reason);
    if (!recording) {
      outcome.error = QString::fromStdString(reason);
      return outcome;
    }
    return ImportUsbmon(*recording, capturePath, options);
  }
  QFile file(path);
  if (format != Format::HidRecorder) {
    outcome.error =
        QStringLiteral("%1 files are not imported").arg(FormatName(format));
    return outcome;
  }
  if (!file.open(QIODevice::ReadOnly)) {
    outcome.error = file.errorString();
    return outcome;
  }
  const QByteArray text = file.readAll();
  return ImportHidRecording(
      ReadHidRecording(std::string_view(text.constData(), size_t(text.size()))),
      capturePath);
}

} // namespace interop
