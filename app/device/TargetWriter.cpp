#include "app/device/TargetWriter.h"

#include "app/InterfaceMenu.h"
#include "app/PinworthWindowController.h"
#include "app/ReportWriter.h"
#include "core/ReportRecord.h"

TargetWriter::TargetWriter(PinworthWindowController &controller)
    : controller_(controller) {}

bool TargetWriter::write(std::optional<uint8_t> reportID,
                         const std::vector<uint8_t> &data) const {
  if (controller_.interfaceMenu().targetBlocked())
    return false;
  const std::optional<ReportWriter::Sent> sent =
      controller_.reportWriter().send(reportID, data);
  if (sent)
    controller_.addLogEntryWithDirection(kReportDirectionOut, sent->reportID,
                                         int(sent->data.size()),
                                         sent->data.data(), sent->target);
  return bool(sent);
}

bool TargetWriter::write(const Interface1Report &report) const {
  return write(report[0],
               std::vector<uint8_t>(report.begin() + 1, report.end()));
}
