// The device area of an explorer window, below the report form: the display
// panel while the target is an interface 1, the pin grid while it is an
// interface 0, nothing while there is no target; the sequences under
// either. Both stay in view, with their sending controls off, while the
// target is unplugged, as Write is. The area also makes the panel that
// replays rows of the log to the target. The area follows the window's
// target (its selection and state) and every report of its log.
// Interface > Show Device Area (Ctrl+D) hides it, for a log with more rows.
//
// The window owns the area. The target and the log go before the window:
// the area uses them from their signals and its widgets' actions only,
// which end with them.
#ifndef PINWORTH_EXPLORER_DEVICE_AREA_H
#define PINWORTH_EXPLORER_DEVICE_AREA_H

#include "app/device/TargetWriter.h"

#include <QWidget>

class QAction;
class QMenu;
namespace core {
class InterfaceListeners;
class UserDefaults;
} // namespace core

namespace explorer {

class DisplayPanel;
class PinGrid;
class ReplayPanel;
class SequenceBar;
class WindowLog;

class DeviceArea : public QWidget {
  Q_OBJECT
public:
  // What the area works with: the window's target and log, the session's
  // listeners and its stored sequence list.
  struct Links {
    WindowTarget &target;
    WindowLog &log;
    core::InterfaceListeners &listeners;
    core::UserDefaults &sequences;
  };
  // Made in parent (the window's content), its widgets right after
  // tabPredecessor in the tab order; its action goes into menu.
  DeviceArea(const Links &links, QMenu &menu, QWidget *parent,
             QWidget *tabPredecessor);

  // The window's replay panel, which the area owns.
  ReplayPanel &replayPanel() const { return *replay_; }

private:
  void refresh();

  const WindowTarget &target_;
  TargetWriter writer_;
  DisplayPanel *panel_;
  PinGrid *grid_;
  SequenceBar *sequences_;
  ReplayPanel *replay_;
  QAction *shown_;
};

} // namespace explorer

#endif
