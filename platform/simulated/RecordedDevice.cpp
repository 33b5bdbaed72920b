#include "platform/simulated/RecordedDevice.h"

#include "core/capture/CaptureReader.h"

#include <algorithm>

namespace hid::sim {

namespace {

// The interface types of a capture's table: model * 2 + interface number.
constexpr int kTypes = 4;

} // namespace

std::optional<RecordedDevice>
RecordedReads(const capture::CaptureReader &reader) {
  const std::vector<capture::CaptureInterface> &interfaces =
      reader.interfaces();
  const auto interfaceOf =
      [&interfaces](
          const capture::Record &record) -> const capture::CaptureInterface * {
    if (record.kind != capture::RecordKind::Read ||
        record.source >= interfaces.size() ||
        interfaces[record.source].interfaceType < 0 ||
        interfaces[record.source].interfaceType >= kTypes)
      return nullptr;
    return &interfaces[record.source];
  };
  std::optional<RecordedDevice> device;
  int32_t occurrence = 0;
  for (uint64_t i = 0; i < reader.recordCount(); ++i) {
    const capture::Record record = reader.record(i);
    const capture::CaptureInterface *interface = interfaceOf(record);
    if (!interface)
      continue;
    const Model model =
        interface->interfaceType / 2 ? Model::PinworthB : Model::PinworthA;
    if (!device) {
      device = RecordedDevice{model, interface->serialNumber, {}};
      occurrence = interface->occurrence;
    }
    if (model != device->model ||
        interface->serialNumber != device->serialNumber ||
        interface->occurrence != occurrence)
      continue;
    SimReplay::Report report;
    report.interfaceNumber = interface->interfaceType % 2;
    report.timeUS =
        device->reports.empty()
            ? record.timeUS
            : std::max(record.timeUS, device->reports.back().timeUS);
    if (record.hasReportID)
      report.bytes.push_back(record.reportID);
    for (size_t byte = 0;
         byte < std::min<size_t>(record.size, record.data.size()); ++byte)
      report.bytes.push_back(record.data[byte]);
    device->reports.push_back(std::move(report));
  }
  return device;
}

} // namespace hid::sim
