// The device area of an explorer window, below the report form: the display
// panel while the target is an interface 1, the pin grid while it is an
// interface 0, nothing while there is no target; the sequences under
// either. Both stay in view, with their sending controls off, while the
// target is unplugged, as Write is. The area also makes the panel that
// replays rows of the log to the target. The area follows the controller:
// its refreshed controls (the target and its state) and every report it
// logs. Interface > Show Device Area (Ctrl+D) hides it, for a log with more
// rows.
//
// The window owns the area. The controller goes before the window: the
// area uses it from its signals and its widgets' actions only, which end
// with it.
#ifndef PINWORTH_EXPLORER_DEVICE_AREA_H
#define PINWORTH_EXPLORER_DEVICE_AREA_H

#include "app/device/TargetWriter.h"

#include <QWidget>

class DisplayPanel;
class QAction;
class PinGrid;
class ReplayPanel;
class SequenceBar;
class PinworthWindowController;

class DeviceArea : public QWidget {
  Q_OBJECT
public:
  // Made in parent (the window's content), its widgets right after
  // tabPredecessor in the tab order; its action goes into the window's menu
  // named "interfaceMenu".
  DeviceArea(PinworthWindowController &controller, QWidget *parent,
             QWidget *tabPredecessor);

  // The window's replay panel, which the area owns.
  ReplayPanel &replayPanel() const { return *replay_; }

private:
  void refresh();

  PinworthWindowController &controller_;
  TargetWriter writer_;
  DisplayPanel *panel_;
  PinGrid *grid_;
  SequenceBar *sequences_;
  ReplayPanel *replay_;
  QAction *shown_;
};

#endif
