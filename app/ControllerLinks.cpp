#include "app/ControllerLinks.h"

#include "app/InterfaceReader.h"
#include "app/PinworthWindowController.h"
#include "app/ReportWriter.h"
#include "app/log/LogPanel.h"
#include "app/log/LogView.h"

namespace explorer {

ControllerTarget::ControllerTarget(PinworthWindowController &controller)
    : controller_(controller) {
  connect(&controller, &PinworthWindowController::controlsRefreshed, this,
          &WindowTarget::changed);
}

std::optional<core::InterfaceIdentity> ControllerTarget::selected() const {
  return controller_.interfaceMenu().selectedInterface();
}

int ControllerTarget::selectedPosition() const {
  return controller_.interfaceMenu().selectedPosition();
}

std::optional<core::InterfaceIdentity> ControllerTarget::missing() const {
  return controller_.interfaceMenu().missingTarget();
}

bool ControllerTarget::blocked() const {
  return controller_.interfaceMenu().targetBlocked();
}

bool ControllerTarget::isListening(
    const core::InterfaceIdentity &source) const {
  return controller_.reading().isListening(source);
}

void ControllerTarget::send(std::optional<uint8_t> reportID,
                            const std::vector<uint8_t> &data, Done done) {
  controller_.reportWriter().send(reportID, data, std::move(done));
}

ControllerLog::ControllerLog(PinworthWindowController &controller)
    : controller_(controller) {
  connect(&controller, &PinworthWindowController::reportLogged, this,
          &WindowLog::reportLogged);
}

void ControllerLog::append(const QString &direction, int reportID, int size,
                           const uint8_t *data,
                           const core::InterfaceIdentity &source,
                           hid::ReportTime at) {
  controller_.addLogEntryWithDirection(direction, reportID, size, data, source,
                                       at);
}

const LogTableModel &ControllerLog::model() const {
  return *controller_.logModel();
}

QWidget &ControllerLog::view() const {
  return *controller_.logView();
}

QList<int> ControllerLog::selectedReports() const {
  return controller_.logPanel()->selectedReports();
}

} // namespace explorer
