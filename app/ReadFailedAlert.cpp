#include "app/ReadFailedAlert.h"

#include "app/framework/AlertPanel.h"

namespace explorer {

void RunReadFailedAlert(QWidget *window, const QString &reason) {
  RunAlertPanel(window, QStringLiteral("Pinworth Error"),
                QStringLiteral("An error occured while trying to read from "
                               "the selected Pinworth device."),
                reason);
}

} // namespace explorer
