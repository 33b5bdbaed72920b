#include "interop/HidRecorderWriter.h"

#include "capture/CaptureReader.h"
#include "core/interfaces/CaptureSources.h"
#include "interop/ExportFile.h"
#include "platform/PinworthUSBIDs.h"

#include <cinttypes>
#include <cstdio>
#include <string>

namespace interop {

namespace {

constexpr int kBusUsb = 3;

void AppendHex(std::string &line, uint8_t byte) {
  static constexpr char kHex[] = "0123456789abcdef";
  line += ' ';
  line += kHex[byte >> 4];
  line += kHex[byte & 0xF];
}

} // namespace

HidRecorderWriter::HidRecorderWriter(const capture::CaptureReader &reader,
                                     ExportFile &file)
    : reader_(reader), file_(file) {}

void HidRecorderWriter::begin() {
  const std::vector<capture::CaptureInterface> &table = reader_.interfaces();
  std::string text = "# Pinworth Explorer capture; a report written is a "
                     "comment: # W: time size bytes\n";
  for (uint16_t source = 0; source < table.size(); ++source) {
    const core::InterfaceIdentity identity =
        *core::IdentityOfSource(table, source);
    const capture::CaptureInterface &entry = table[source];
    if (table.size() > 1)
      text += "D: " + std::to_string(source) + '\n';
    text += "R: " + std::to_string(entry.descriptor.size());
    for (uint8_t byte : entry.descriptor)
      AppendHex(text, byte);
    char ids[32];
    std::snprintf(ids, sizeof ids, "I: %d %04x %04x\n", kBusUsb,
                  unsigned(pinworth::kUSBVendorID),
                  unsigned(entry.interfaceType / 2 ? pinworth::kUSBProductIDB
                                                   : pinworth::kUSBProductIDA));
    text += "\nN: Pinworth " + identity.modelName().toStdString() +
            "\nP: usb-pinworth-SN" + std::to_string(entry.serialNumber) +
            "/input" + std::to_string(identity.interfaceNumber()) + '\n' + ids;
  }
  file_.append(text);
  device_ = int(table.size()) - 1; // the last D: line's
}

bool HidRecorderWriter::add(uint64_t, const capture::Record &record) {
  const bool written = record.kind == capture::RecordKind::Written;
  if ((!written && record.kind != capture::RecordKind::Read) ||
      record.source >= reader_.interfaces().size())
    return false;
  if (!firstTimeUS_)
    firstTimeUS_ = record.timeUS;
  const int64_t sinceFirst = record.timeUS > *firstTimeUS_
                                 ? TimeDifference(record.timeUS, *firstTimeUS_)
                                 : 0;
  std::string line;
  if (reader_.interfaces().size() > 1 && record.source != device_) {
    device_ = record.source;
    line += "D: " + std::to_string(device_) + '\n';
  }
  char head[64];
  std::snprintf(head, sizeof head, "%s %" PRId64 ".%06" PRId64 " %d",
                written ? "# W:" : "E:", sinceFirst / 1000000,
                sinceFirst % 1000000, record.size + int(record.hasReportID));
  line += head;
  if (record.hasReportID)
    AppendHex(line, record.reportID);
  for (int i = 0; i < record.size; ++i)
    AppendHex(line, record.data[size_t(i)]);
  file_.append(line + '\n');
  return true;
}

} // namespace interop
