// The alert of a read from the selected device that failed, as polling and
// the display panel's read-back show it: at once, or once the modal dialog
// that is up has closed (see ShowAlertWhenNoDialog()).
#ifndef PINWORTH_EXPLORER_READ_FAILED_ALERT_H
#define PINWORTH_EXPLORER_READ_FAILED_ALERT_H

#include <QString>

class QWidget;

namespace explorer {

// reason stands below the message.
void ShowReadFailedAlert(QWidget *window, const QString &reason);

} // namespace explorer

#endif
