#include "app/ReadFailedAlert.h"

#include "app/framework/AlertPanel.h"

namespace explorer {

void ShowReadFailedAlert(QWidget *window, const QString &reason) {
  ShowAlertWhenNoDialog(
      window, QStringLiteral("Pinworth Error"),
      QStringLiteral("An error occured while trying to read from "
                     "the selected Pinworth device."),
      reason);
}

} // namespace explorer
