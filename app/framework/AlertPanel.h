// The explorer's alert: a title, a message and one "OK" button.
#ifndef PINWORTH_EXPLORER_ALERT_PANEL_H
#define PINWORTH_EXPLORER_ALERT_PANEL_H

#include <QString>

class QWidget;

namespace explorer {

// Shows an application-modal message box headed and titled by title, with
// message below and, when there is one, the reason below that; returns once
// the user has dismissed it. Default-mode work (device notifications, the
// alerts below) waits while it is up; reading goes on.
void RunAlertPanel(QWidget *parent, const QString &title,
                   const QString &message, const QString &reason = {});

// The alert of what a device answered, which may come while another modal
// dialog is up: shown as RunAlertPanel() shows it, at once, or once the last
// modal dialog has closed (and then not at all if parent is gone by then).
void ShowAlertWhenNoDialog(QWidget *parent, const QString &title,
                           const QString &message, const QString &reason = {});

} // namespace explorer

#endif
