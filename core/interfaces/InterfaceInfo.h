// What an interface says about itself: its properties and its HID report
// descriptor, decoded; as text for Copy and Save; and the check of a report
// against the output reports the descriptor declares.
//
// Qt Core only.
#ifndef PINWORTH_EXPLORER_INTERFACE_INFO_H
#define PINWORTH_EXPLORER_INTERFACE_INFO_H

#include "descriptor/ReportDescriptor.h"
#include "platform/HIDServices.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace core {

struct InterfaceInfo {
  hid::Status propertiesStatus = hid::kErrorNotOpen;
  hid::PropertyTable properties;
  hid::Status descriptorStatus = hid::kErrorNotOpen;
  std::vector<uint8_t> descriptor;
  hid::descriptor::Decoded decoded; // of descriptor, when it was read
};

// Asks the handle, open or not; a part that cannot be read keeps its status.
InterfaceInfo ReadInterfaceInfo(const hid::DeviceInterface &handle);

// "Vendor ID" and its value, in the order shown; a missing value reads
// "none", an unreadable table gives one line with the reason.
std::vector<std::pair<QString, QString>>
PropertyLines(const InterfaceInfo &info);
// The platform's text for a status: "timed out: the device did not answer".
QString StatusText(hid::Status status);
// A report ID as two upper-case hex digits: "0C".
QString ReportIDText(uint8_t id);
// 16 bytes a line, each line led by the offset of its first byte.
QString DescriptorHexText(const std::vector<uint8_t> &descriptor);
// Everything the Interface Info window shows, as plain text under a heading
// that names the interface.
QString InterfaceInfoText(const QString &name, const InterfaceInfo &info);

// Whether the descriptor declares an output report for a report with
// reportID (none for an interface without IDs) and dataBytes data bytes: no
// value when it does or when the descriptor was not read, otherwise what
// does not match, for the status bar.
std::optional<QString> ReportMismatch(const InterfaceInfo &info,
                                      std::optional<uint8_t> reportID,
                                      int dataBytes);

} // namespace core

#endif
