#include "sim_replay/RecordedDevice.h"

#include "capture/CaptureReader.h"

#include <algorithm>

namespace hid::sim {

namespace {

// The interface types of a capture's table: model * 2 + interface number.
constexpr int kTypes = 4;

} // namespace

void RecordedReadsBuilder::add(int interfaceType, int32_t serialNumber,
                               int occurrence, int64_t timeUS,
                               std::vector<uint8_t> bytes) {
  if (interfaceType < 0 || interfaceType >= kTypes)
    return;
  const Model model = interfaceType / 2 ? Model::PinworthB : Model::PinworthA;
  if (!device_) {
    device_ = RecordedDevice{model, serialNumber, {}};
    occurrence_ = occurrence;
  }
  if (model != device_->model || serialNumber != device_->serialNumber ||
      occurrence != occurrence_)
    return;
  SimReplay::Report report;
  report.interfaceNumber = interfaceType % 2;
  report.timeUS = device_->reports.empty()
                      ? timeUS
                      : std::max(timeUS, device_->reports.back().timeUS);
  report.bytes = std::move(bytes);
  device_->reports.push_back(std::move(report));
}

std::optional<RecordedDevice>
RecordedReads(const capture::CaptureReader &reader) {
  const std::vector<capture::CaptureInterface> &interfaces =
      reader.interfaces();
  RecordedReadsBuilder builder;
  for (uint64_t i = 0; i < reader.recordCount(); ++i) {
    const capture::Record record = reader.record(i);
    if (record.kind != capture::RecordKind::Read ||
        record.source >= interfaces.size())
      continue;
    const capture::CaptureInterface &interface = interfaces[record.source];
    std::vector<uint8_t> bytes;
    if (record.hasReportID)
      bytes.push_back(record.reportID);
    bytes.insert(bytes.end(), record.data.begin(),
                 record.data.begin() +
                     std::min<size_t>(record.size, record.data.size()));
    builder.add(interface.interfaceType, interface.serialNumber,
                interface.occurrence, record.timeUS, std::move(bytes));
  }
  return std::move(builder).take();
}

} // namespace hid::sim
