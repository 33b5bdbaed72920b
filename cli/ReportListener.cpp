#include "cli/ReportListener.h"

#include "core/interfaces/InterfaceInfo.h"

#include <algorithm>

namespace cli {

ReportListener::ReportListener(const ListedInterface &interface,
                               ReportPrinter &printer)
    : interface_(interface), printer_(printer) {}

ReportListener::~ReportListener() {
  listeners_.stopListening(this);
}

bool ReportListener::arm() {
  const hid::Status status =
      listeners_.listen(interface_.position, interface_.identity, this);
  if (status != hid::kSuccess)
    PrintError(
        QStringLiteral("could not listen to %1: %2")
            .arg(interface_.identity.displayName(), core::StatusText(status)));
  return status == hid::kSuccess;
}

void ReportListener::interruptReport(const core::InterfaceIdentity &source,
                                     const uint8_t *report, uint32_t size,
                                     hid::ReportTime readAt) {
  printer_.printReport(false, report, int(size), source, readAt);
  if (onReport)
    onReport(report, int(size));
}

void ReportListener::reportsLost(const core::InterfaceIdentity &source,
                                 uint64_t count, hid::ReportTime readAt) {
  printer_.printLoss(uint32_t(std::min<uint64_t>(count, UINT32_MAX)), source,
                     readAt);
}

} // namespace cli
