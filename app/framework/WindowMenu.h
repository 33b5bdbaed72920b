// The Window menu of the program's main windows (explorer windows and
// capture windows): Minimize (Ctrl+M), the items others add (the Device
// Simulator), then every main window shown, by its title, the menu's own
// window checked; choosing one brings it to the front.
#ifndef PINWORTH_EXPLORER_WINDOW_MENU_H
#define PINWORTH_EXPLORER_WINDOW_MENU_H

class QMainWindow;
class QMenu;

namespace explorer {

// Adds the menu to window's menu bar, before its Help menu when it has one
// (a menu named "helpMenu").
QMenu *AddWindowMenu(QMainWindow &window);
// The Window menu of window, none when it has none.
QMenu *WindowMenuOf(const QMainWindow &window);

} // namespace explorer

#endif
