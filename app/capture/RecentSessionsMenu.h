// File > Recent Sessions: the sessions kept, newest first, each named by
// its start, duration, devices and rows; choosing one opens it read-only.
// Each file's summary is read the first time the menu shows it: a session
// does not change once kept. Main thread only.
#ifndef PINWORTH_EXPLORER_RECENT_SESSIONS_MENU_H
#define PINWORTH_EXPLORER_RECENT_SESSIONS_MENU_H

class QMenu;
class QWidget;

namespace explorer {

class CaptureSessions;

// Adds the menu to file; the sessions open over window. captures must
// outlive the menu.
void AddRecentSessionsMenu(QMenu &file, CaptureSessions &captures,
                           QWidget *window);

} // namespace explorer

#endif
