#include "device_simulator/InterfaceOnePanel.h"

#include "device_simulator/LcdView.h"
#include "device_simulator/RemoteKeys.h"
#include "device_simulator/StateColours.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace simulator {

namespace {

const QColor kSwitchOn(0x10, 0x60, 0x10);

void ShowSwitch(QLabel *label, const QString &name, bool on) {
  label->setText(name + (on ? QObject::tr(": on") : QObject::tr(": off")));
  MarkState(label, on ? std::optional(kSwitchOn) : std::nullopt);
}

} // namespace

InterfaceOnePanel::InterfaceOnePanel(hid::sim::SimBackend &backend,
                                     QWidget *parent)
    : QGroupBox(tr("Interface 1: display and infrared"), parent),
      backend_(backend), lcd_(new LcdView), lcdMode_(new QLabel),
      infrared_(new QLabel), address_(new QLineEdit(QStringLiteral("00"))),
      keypad_(new QWidget) {
  lcdMode_->setObjectName(QStringLiteral("lcdModeLabel"));
  infrared_->setObjectName(QStringLiteral("infraredLabel"));
  address_->setObjectName(QStringLiteral("remoteAddressField"));
  address_->setMaximumWidth(50);
  connect(address_, &QLineEdit::textEdited, address_,
          [this] { address_->setStyleSheet(QString()); });

  auto *keys = new QGridLayout(keypad_);
  keys->setSpacing(2);
  keys->setContentsMargins(0, 0, 0, 0);
  for (const RemoteKey &key : kRemoteKeys) {
    auto *button = new QPushButton(QString::fromLatin1(key.label));
    button->setObjectName(QStringLiteral("key") +
                          QString::fromLatin1(key.label));
    button->setMinimumWidth(44);
    const uint8_t command = key.command;
    connect(button, &QPushButton::clicked, this,
            [this, command] { pressKey(command); });
    keys->addWidget(button, key.row, key.column);
  }

  auto *switches = new QHBoxLayout;
  switches->setSpacing(16);
  switches->addWidget(lcdMode_);
  switches->addWidget(infrared_);
  switches->addStretch();
  auto *address = new QHBoxLayout;
  address->addWidget(new QLabel(tr("Remote, address (hex):")));
  address->addWidget(address_);
  address->addStretch();
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(lcd_, 0, Qt::AlignHCenter);
  layout->addLayout(switches);
  layout->addLayout(address);
  layout->addWidget(keypad_);
  showDevice(std::nullopt);
}

void InterfaceOnePanel::pressKey(uint8_t command) {
  bool ok = false;
  const uint value = address_->text().trimmed().toUInt(&ok, 16);
  if (!ok || value > 0xFF) {
    address_->setStyleSheet(QStringLiteral("background: #ffd0d0;"));
    return;
  }
  if (device_)
    backend_.pressRemoteKey(*device_, uint8_t(value), command);
}

void InterfaceOnePanel::showDevice(std::optional<hid::sim::DeviceID> device) {
  device_ = device;
  keypad_->setEnabled(bool(device));
  if (!device) {
    lcd_->clear();
    ShowSwitch(lcdMode_, tr("LCD mode"), false);
    ShowSwitch(infrared_, tr("Infrared reception"), false);
    return;
  }
  const hid::sim::VirtualPinworth &pinworth = backend_.device(*device);
  lcd_->showController(pinworth.display());
  ShowSwitch(lcdMode_, tr("LCD mode"), pinworth.lcdModeOn());
  ShowSwitch(infrared_, tr("Infrared reception"), pinworth.infraredOn());
  keypad_->setToolTip(pinworth.infraredOn()
                          ? QString()
                          : tr("Infrared reception is off: the device ignores "
                               "the remote"));
}

} // namespace simulator
