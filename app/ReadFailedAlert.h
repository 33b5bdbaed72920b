// The alert of a read from the selected device that failed, as polling and
// the display panel's read-back show it.
#ifndef PINWORTH_EXPLORER_READ_FAILED_ALERT_H
#define PINWORTH_EXPLORER_READ_FAILED_ALERT_H

#include <QString>

class QWidget;

namespace explorer {

// Returns once the user has dismissed it; reason stands below the message.
void RunReadFailedAlert(QWidget *window, const QString &reason);

} // namespace explorer

#endif
