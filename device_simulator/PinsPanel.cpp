#include "device_simulator/PinsPanel.h"

#include <QGridLayout>
#include <QLabel>
#include <QToolButton>

namespace simulator {

PinsPanel::PinsPanel(hid::sim::SimBackend &backend, QWidget *parent)
    : QGroupBox(tr("Interface 0: pins (latch/level; press to pull low)"),
                parent),
      backend_(backend) {
  setStyleSheet(QStringLiteral(
      "QToolButton:checked { background: #f0b8b8; border: 1px solid #a04040; "
      "border-radius: 3px; }"));
  auto *grid = new QGridLayout(this);
  grid->setSpacing(2);
  for (int port = 0; port < 4; ++port) {
    grid->addWidget(new QLabel(tr("Port %1").arg(port)), port, 0);
    for (int bit = 0; bit < 8; ++bit) {
      const int pin = port * 8 + bit;
      auto *button = new QToolButton;
      button->setObjectName(QStringLiteral("pin%1").arg(pin));
      button->setCheckable(true);
      button->setMinimumWidth(40);
      connect(button, &QToolButton::clicked, this,
              [this, pin](bool checked) { pullLow(pin, checked); });
      grid->addWidget(button, port, bit + 1);
      pins_[pin] = button;
    }
  }
  showDevice(std::nullopt);
}

void PinsPanel::pullLow(int pin, bool pulled) {
  if (device_)
    backend_.setPinPulledLow(*device_, pin, pulled);
}

void PinsPanel::showDevice(std::optional<hid::sim::DeviceID> device) {
  device_ = device;
  for (int pin = 0; pin < 32; ++pin) {
    QToolButton *button = pins_[pin];
    button->setEnabled(bool(device));
    if (!device) {
      button->setText(QString::number(pin));
      button->setChecked(false);
      continue;
    }
    const hid::sim::VirtualPinworth &pinworth = backend_.device(*device);
    const bool latch = pinworth.latch(pin / 8) >> (pin % 8) & 1;
    const bool level = pinworth.pinLevels() >> pin & 1;
    button->setText(QStringLiteral("%1\n%2/%3")
                        .arg(pin)
                        .arg(latch ? 'H' : 'L')
                        .arg(level ? 'H' : 'L'));
    button->setToolTip(tr("Pin %1: latch %2, level %3%4")
                           .arg(pin)
                           .arg(latch ? tr("high") : tr("low"))
                           .arg(level ? tr("high") : tr("low"))
                           .arg(pinworth.pinPulledLow(pin)
                                    ? tr(", pulled low from outside")
                                    : QString()));
    button->setChecked(pinworth.pinPulledLow(pin));
    button->setStyleSheet(level ? QString()
                                : QStringLiteral("color: #b00000;"));
  }
}

} // namespace simulator
