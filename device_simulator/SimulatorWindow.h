// The Device Simulator window: shows and drives every simulated device of a
// backend. It talks to the backend's control API and the devices' model
// only, and learns of their changes from the backend's observer call. Its
// panels scroll when the window is smaller than they are, so that it fits
// on a small screen.
#ifndef PINWORTH_SIMULATOR_SIMULATOR_WINDOW_H
#define PINWORTH_SIMULATOR_SIMULATOR_WINDOW_H

#include "platform/simulated/SimBackend.h"

#include <QWidget>

class QMainWindow;
class QMenu;

namespace simulator {

class CaptureReplayPanel;
class DevicesPanel;
class FaultsPanel;
class InterfaceOnePanel;
class PinsPanel;
class StressPanel;

class SimulatorWindow : public QWidget {
  Q_OBJECT
public:
  // The backend must outlive the window.
  explicit SimulatorWindow(hid::sim::SimBackend &backend,
                           QWidget *parent = nullptr);
  ~SimulatorWindow() override;

  DevicesPanel *devices() const { return devices_; }
  PinsPanel *pins() const { return pins_; }
  InterfaceOnePanel *interfaceOne() const { return interfaceOne_; }
  StressPanel *stress() const { return stress_; }
  FaultsPanel *faults() const { return faults_; }
  CaptureReplayPanel *replay() const { return replay_; }

  // Puts the window where SimulatorFrame() says beside explorer, shown,
  // from the place remembered in the INI file stateFile, and remembers its
  // place there whenever it is hidden or goes.
  void placeBeside(const QWidget &explorer, const QString &stateFile);

  // The panels' own size.
  QSize sizeHint() const override;

protected:
  void changeEvent(QEvent *event) override;
  void hideEvent(QHideEvent *event) override;

private:
  void rememberPlace() const;
  void deviceChanged(hid::sim::DeviceID device);
  void showSelected();

  hid::sim::SimBackend &backend_;
  int observer_;
  DevicesPanel *devices_;
  PinsPanel *pins_;
  InterfaceOnePanel *interfaceOne_;
  StressPanel *stress_;
  FaultsPanel *faults_;
  CaptureReplayPanel *replay_;
  QWidget *panels_;
  QString stateFile_;
};

// Adds to an explorer window's Window menu a "Device Simulator" item that
// shows the simulator and brings it to the front.
void AddSimulatorItem(QMenu &windowMenu, SimulatorWindow &simulator);

} // namespace simulator

#endif
