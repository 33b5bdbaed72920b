// Interface 0 of a simulated device: its 32 pins in four ports of eight, each
// showing its latch (what the host wrote) and its level (what a get-report
// returns), and pressed to pull the pin low from outside.
#ifndef PINWORTH_SIMULATOR_PINS_PANEL_H
#define PINWORTH_SIMULATOR_PINS_PANEL_H

#include "platform/simulated/SimBackend.h"

#include <QGroupBox>

#include <optional>

class QToolButton;

namespace simulator {

class PinsPanel : public QGroupBox {
  Q_OBJECT
public:
  PinsPanel(hid::sim::SimBackend &backend, QWidget *parent = nullptr);

  // Shows the device's pins, or disables them all for none.
  void showDevice(std::optional<hid::sim::DeviceID> device);
  // The button of pin 0..31, named "pin<n>".
  QToolButton *pinButton(int pin) const { return pins_[pin]; }

private:
  void pullLow(int pin, bool pulled);

  hid::sim::SimBackend &backend_;
  std::optional<hid::sim::DeviceID> device_;
  QToolButton *pins_[32];
};

} // namespace simulator

#endif
