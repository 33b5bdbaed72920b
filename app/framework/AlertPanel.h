// The explorer's alert: a title, a message and one "OK" button.
#ifndef PINWORTH_EXPLORER_ALERT_PANEL_H
#define PINWORTH_EXPLORER_ALERT_PANEL_H

#include <QString>

class QWidget;

namespace explorer {

// Shows an application-modal message box headed and titled by title, with
// message below and, when there is one, the reason below that; returns once
// the user has dismissed it. Default-mode work (poll ticks, device
// notifications, interrupt reports) waits while it is up.
void RunAlertPanel(QWidget *parent, const QString &title,
                   const QString &message, const QString &reason = {});

} // namespace explorer

#endif
