// A report generator for each simulated device: interface 1 reports at a
// chosen rate for a chosen count or until stopped, with the count sent so
// far and, beside it, how many of the run's reports the kernel's queue of
// interface 1 dropped, both live. Owns the generators; each stops when its
// device is removed or the panel goes.
#ifndef PINWORTH_SIMULATOR_STRESS_PANEL_H
#define PINWORTH_SIMULATOR_STRESS_PANEL_H

#include "device_simulator/ReportGenerator.h"

#include "platform/simulated/SimBackend.h"

#include <QGroupBox>

#include <map>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class QSpinBox;

namespace simulator {

class StressPanel : public QGroupBox {
  Q_OBJECT
public:
  StressPanel(hid::sim::SimBackend &backend, QWidget *parent = nullptr);
  ~StressPanel() override;

  void showDevice(std::optional<hid::sim::DeviceID> device);
  // Stops and drops the generator of a device that is gone.
  void forget(hid::sim::DeviceID device);

  QSpinBox *rateBox() const { return rate_; }
  QSpinBox *countBox() const { return count_; }
  QPushButton *startButton() const { return start_; }
  QLabel *sentLabel() const { return sent_; }
  QLabel *overrunLabel() const { return overrun_; }
  QLabel *droppedLabel() const { return dropped_; }

private:
  void startOrStop();
  void showRun();

  hid::sim::SimBackend &backend_;
  std::optional<hid::sim::DeviceID> device_;
  struct Run {
    std::unique_ptr<ReportGenerator> generator;
    uint64_t droppedBefore = 0; // the kernel's count when the run began
  };
  std::map<hid::sim::DeviceID, Run> runs_;
  QSpinBox *rate_;
  QSpinBox *count_;
  QPushButton *start_;
  QLabel *sent_;
  QLabel *overrun_;
  QLabel *dropped_;
};

} // namespace simulator

#endif
