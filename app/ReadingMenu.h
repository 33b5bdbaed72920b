// The stops of reading: one item for each interface a window reads (every
// interface 0 it polls, every interface 1 it listens to), each stopping that
// one only, and Stop All Reading (Ctrl+Shift+R). They are the Interface
// menu's "Stop Reading" submenu and the context menu of the status bar's
// activity text. Each stop goes through the reader, which tells it
// (readingEvent).
//
// Main thread only.
#ifndef PINWORTH_EXPLORER_READING_MENU_H
#define PINWORTH_EXPLORER_READING_MENU_H

#include <QObject>

class QLabel;
class QMainWindow;
class QMenu;

namespace explorer {

class InterfaceReader;

class ReadingMenu : public QObject {
  Q_OBJECT
public:
  // The items go into window's menu named "interfaceMenu"; activity is the
  // status bar's activity label. All three outlive this object.
  ReadingMenu(QMainWindow *window, QLabel *activity, InterfaceReader &reader);

private:
  // Fills menu with one stop per interface read, or says nothing is read.
  void fillStops(QMenu *menu);

  InterfaceReader &reader_;
  QMenu *contextMenu_;
};

} // namespace explorer

#endif
