// Plays a capture into a simulated device: the device selected when the
// capture is opened then behaves as the capture's first device read did
// (see SimReplay.h), at a speed of ×0.1 to ×10, with Pause, Step, Loop and
// Stop, and its progress shown live. One capture plays at a time; it stops
// when its device is removed or the panel goes.
#ifndef PINWORTH_SIMULATOR_CAPTURE_REPLAY_PANEL_H
#define PINWORTH_SIMULATOR_CAPTURE_REPLAY_PANEL_H

#include "platform/simulated/SimBackend.h"
#include "sim_replay/RecordedDevice.h"
#include "sim_replay/SimReplay.h"

#include <QGroupBox>
#include <QTimer>

#include <memory>
#include <optional>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

namespace simulator {

class CaptureReplayPanel : public QGroupBox {
  Q_OBJECT
public:
  static constexpr int kProgressMS = 100;

  explicit CaptureReplayPanel(hid::sim::SimBackend &backend,
                              QWidget *parent = nullptr);
  ~CaptureReplayPanel() override;

  // The device a capture opened now plays into (none: the button is off).
  void showDevice(std::optional<hid::sim::DeviceID> device);
  // Plays the capture at path into device; false, with the reason shown,
  // when it cannot be read or read nothing.
  bool play(const QString &path, hid::sim::DeviceID device);
  // Plays recorded, named what in the progress ("the log's 12 selected
  // rows"), into device.
  void play(const QString &what, hid::sim::RecordedDevice recorded,
            hid::sim::DeviceID device);
  // The device the panel plays into, as showDevice() gave it.
  std::optional<hid::sim::DeviceID> device() const { return device_; }
  void stop();
  // Stops the replay of a device that is gone.
  void forget(hid::sim::DeviceID device);
  // The replay under way, none once it is done or stopped.
  const hid::sim::SimReplay *replay() const { return replay_.get(); }
  QLabel *statusLabel() const { return status_; }

signals:
  // The replay sent reports since the last progress: the levels shown of its
  // device may have changed.
  void progressed(hid::sim::DeviceID device);

private:
  void askForCapture();
  void showProgress();
  void refreshButtons();

  hid::sim::SimBackend &backend_;
  std::optional<hid::sim::DeviceID> device_;
  std::unique_ptr<hid::sim::SimReplay> replay_;
  QString playing_; // the capture's file name and recorded device
  QString target_;  // the device it plays into
  size_t shownSent_ = SIZE_MAX;
  QTimer progress_;
  QPushButton *open_;
  QDoubleSpinBox *speed_;
  QCheckBox *loop_;
  QPushButton *pause_;
  QPushButton *step_;
  QPushButton *stop_;
  QLabel *status_;
};

} // namespace simulator

#endif
