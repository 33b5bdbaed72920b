#include "cli/ReportListener.h"

#include "core/InterfaceInfo.h"

ReportListener::ReportListener(const ListedInterface &interface,
                               ReportPrinter &printer)
    : interface_(interface), printer_(printer), armed_(&Deliver, this) {}

bool ReportListener::arm() {
  const hid::Status status = armed_.arm(interface_.handle, interface_.identity);
  if (status != hid::kSuccess)
    PrintError(QStringLiteral("could not listen to %1: %2")
                   .arg(interface_.identity.displayName(), StatusText(status)));
  return status == hid::kSuccess;
}

void ReportListener::Deliver(void *target, hid::Status result, void *refcon,
                             void *, uint32_t bufferSize) {
  auto *self = static_cast<ReportListener *>(refcon);
  if (result == hid::kErrorOverrun) {
    self->printer_.printLoss(bufferSize, self->interface_.identity);
    return;
  }
  if (result != hid::kSuccess || bufferSize == 0)
    return;
  const auto *report = static_cast<const uint8_t *>(target);
  const int size = int(bufferSize);
  self->printer_.printReport(false, report, size, self->interface_.identity);
  if (self->onReport)
    self->onReport(report, size);
}
