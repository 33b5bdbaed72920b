#include "interop/HidRecorderImport.h"

#include "interop/HidRecorderReader.h"
#include "platform/PinworthDescriptors.h"

#include <QFile>
#include <QRegularExpression>

namespace interop {

namespace {

// The interface a recorded device is, or none when it is not a Pinworth's.
std::optional<core::InterfaceIdentity>
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
  core::InterfaceIdentity identity;
  identity.interfaceType = *model + number;
  if (const QRegularExpressionMatch serial = kSerial.match(path);
      serial.hasMatch())
    identity.serialNumber = serial.captured(1).toInt();
  return identity;
}

} // namespace

std::optional<ImportedRecording>
ImportHidRecorder(const QString &path, const ImportOptions &, QString *error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    *error = file.errorString();
    return std::nullopt;
  }
  const QByteArray text = file.readAll();
  const HidRecording recording =
      ReadHidRecording(std::string_view(text.constData(), size_t(text.size())));
  ImportedRecording imported;
  imported.skipped = recording.linesSkipped;
  // Each node is a device of its own, and an interface of the capture.
  std::vector<std::optional<size_t>> interfaceOfNode;
  for (const HidRecordedDevice &device : recording.devices) {
    const std::optional<core::InterfaceIdentity> identity =
        PinworthInterface(device);
    interfaceOfNode.push_back(
        identity ? std::optional(imported.interfaces.size()) : std::nullopt);
    if (!identity)
      continue;
    imported.interfaces.push_back(
        {imported.devices.size(), *identity, device.descriptor});
    imported.devices.push_back(*identity);
  }
  for (const HidRecordedReport &report : recording.reports)
    imported.reports.push_back({interfaceOfNode[report.device], report.written,
                                report.timeUS, report.bytes});
  return imported;
}

} // namespace interop
