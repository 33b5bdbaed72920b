// Interface 1 of a simulated device: its LCD, whether LCD mode and infrared
// reception are on, and an infrared remote control whose keys reach the
// device with the address typed beside them.
#ifndef PINWORTH_SIMULATOR_INTERFACE_ONE_PANEL_H
#define PINWORTH_SIMULATOR_INTERFACE_ONE_PANEL_H

#include "platform/simulated/SimBackend.h"

#include <QGroupBox>

#include <optional>

class QLabel;
class QLineEdit;

namespace simulator {

class LcdView;

class InterfaceOnePanel : public QGroupBox {
  Q_OBJECT
public:
  InterfaceOnePanel(hid::sim::SimBackend &backend, QWidget *parent = nullptr);

  void showDevice(std::optional<hid::sim::DeviceID> device);
  LcdView *lcd() const { return lcd_; }

private:
  // Sends the key with the address field's value; a field that does not hold
  // a byte in hex is marked and nothing is sent.
  void pressKey(uint8_t command);

  hid::sim::SimBackend &backend_;
  std::optional<hid::sim::DeviceID> device_;
  LcdView *lcd_;
  QLabel *lcdMode_;
  QLabel *infrared_;
  QLineEdit *address_;
  QWidget *keypad_;
};

} // namespace simulator

#endif
