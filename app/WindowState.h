// What the explorer's window keeps across restarts: its size and place, the
// log's column widths and order, and the selected interface. They live in a
// state file of their own beside the preferences ("window-state.ini"), never
// in the macro list's file; a missing or unreadable one changes nothing.
#ifndef PINWORTH_EXPLORER_WINDOW_STATE_H
#define PINWORTH_EXPLORER_WINDOW_STATE_H

#include "core/InterfaceIdentity.h"

#include <QString>

#include <optional>

class QHeaderView;
class QMainWindow;

namespace WindowState {

QString FilePath();

// Restores what was saved last into window and the log's header.
void Restore(QMainWindow *window, QHeaderView *logHeader);
std::optional<InterfaceIdentity> SelectedInterface();

// Saves the state; a state that cannot be saved is reported on standard
// error.
void Save(const QMainWindow *window, const QHeaderView *logHeader,
          const std::optional<InterfaceIdentity> &selected);

} // namespace WindowState

#endif
