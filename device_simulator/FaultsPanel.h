// The faults of a simulated device's two interfaces, each a check box that
// is checked, and marked, while the fault is active: stall (transfers time
// out until cleared), fail the next write, fail the next read (each cleared
// once used), refuse to open (permission denied).
#ifndef PINWORTH_SIMULATOR_FAULTS_PANEL_H
#define PINWORTH_SIMULATOR_FAULTS_PANEL_H

#include "platform/simulated/SimBackend.h"

#include <QGroupBox>

#include <optional>

class QCheckBox;

namespace simulator {

class FaultsPanel : public QGroupBox {
  Q_OBJECT
public:
  enum Fault { Stall, FailNextWrite, FailNextRead, RefuseOpen, kFaultCount };

  FaultsPanel(hid::sim::SimBackend &backend, QWidget *parent = nullptr);

  void showDevice(std::optional<hid::sim::DeviceID> device);
  QCheckBox *checkBox(int interfaceNumber, Fault fault) const {
    return boxes_[interfaceNumber][fault];
  }

private:
  void set(int interfaceNumber, Fault fault, bool on);

  hid::sim::SimBackend &backend_;
  std::optional<hid::sim::DeviceID> device_;
  QCheckBox *boxes_[2][kFaultCount];
};

} // namespace simulator

#endif
