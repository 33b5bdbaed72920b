#include "app/device/PinGrid.h"

#include "app/device/TargetWriter.h"
#include "core/reports/ReportRecord.h"

#include <QGridLayout>
#include <QLabel>
#include <QToolButton>

#include <algorithm>

namespace explorer {

namespace {

QString HighLow(bool high) {
  return high ? QStringLiteral("high") : QStringLiteral("low");
}

} // namespace

PinGrid::PinGrid(const TargetWriter &writer, QWidget *parent)
    : QGroupBox(QStringLiteral("Pins (latch/level; click a pin to toggle its "
                               "latch)"),
                parent),
      writer_(writer) {
  setObjectName(QStringLiteral("pinGrid"));
  auto *grid = new QGridLayout(this);
  grid->setSpacing(2);
  for (int port = 0; port < core::kPinPorts; ++port) {
    grid->addWidget(new QLabel(QStringLiteral("Port %1").arg(port)), port, 0);
    for (int bit = 0; bit < core::kPinsPerPort; ++bit) {
      const int pin = port * core::kPinsPerPort + bit;
      auto *button = buttons_[size_t(pin)] = new QToolButton;
      button->setObjectName(QStringLiteral("pin%1Button").arg(pin));
      button->setFocusPolicy(Qt::StrongFocus);
      button->setMinimumWidth(44);
      button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
      connect(button, &QToolButton::clicked, this,
              [this, pin] { toggleLatch(pin); });
      grid->addWidget(button, port, bit + 1);
    }
  }
  refresh();
}

QList<QWidget *> PinGrid::tabOrder() const {
  return QList<QWidget *>(buttons_.begin(), buttons_.end());
}

void PinGrid::setTarget(const std::optional<core::InterfaceIdentity> &target,
                        bool canSend) {
  for (auto known = known_.begin(); known != known_.end();)
    known = core::PositionOfIdentity(known.key()) < 0 ? known_.erase(known)
                                                      : std::next(known);
  target_ = target;
  for (QToolButton *button : buttons_)
    button->setEnabled(canSend && target);
  refresh();
}

void PinGrid::reportLogged(
    bool isOutput, int reportID, int size, const uint8_t *data,
    const std::optional<core::InterfaceIdentity> &source) {
  if (reportID != core::kNoReportID || !source ||
      source->interfaceNumber() != 0 || size < core::kPinPorts)
    return;
  Ports ports;
  std::copy_n(data, core::kPinPorts, ports.begin());
  Pins &pins = known_[*source];
  (isOutput ? pins.latches : pins.levels.emplace()) = ports;
  if (source == target_)
    refresh();
}

void PinGrid::toggleLatch(int pin) {
  if (!target_)
    return;
  Ports latches = known_.value(*target_).latches;
  latches[size_t(core::PortOfPin(pin))] ^= core::PinMask(pin);
  writer_.write(std::nullopt,
                std::vector<uint8_t>(latches.begin(), latches.end()));
}

void PinGrid::refresh() {
  const Pins pins = target_ ? known_.value(*target_) : Pins{};
  for (int pin = 0; pin < kPins; ++pin) {
    const bool latch = core::PinHigh(pins.latches.data(), core::kPinPorts, pin);
    const bool read = pins.levels.has_value();
    const bool level =
        read && core::PinHigh(pins.levels->data(), core::kPinPorts, pin);
    QToolButton *button = buttons_[size_t(pin)];
    button->setText(QStringLiteral("%1\n%2/%3")
                        .arg(pin)
                        .arg(latch ? 'H' : 'L')
                        .arg(read ? (level ? 'H' : 'L') : '?'));
    button->setToolTip(
        QStringLiteral("Pin %1 (port %2, bit %3): latch %4, level %5")
            .arg(pin)
            .arg(core::PortOfPin(pin))
            .arg(core::BitOfPin(pin))
            .arg(HighLow(latch),
                 read ? HighLow(level) : QStringLiteral("not read yet")));
    QFont font = button->font();
    font.setBold(read && level != latch);
    button->setFont(font);
  }
}

} // namespace explorer
