#include "device_simulator/DevicesPanel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

namespace simulator {

namespace {

QString Describe(const hid::sim::SimBackend::DeviceListing &device) {
  return QStringLiteral("%1 (SN %2) - %3")
      .arg(QString::fromLatin1(hid::sim::ModelName(device.model)),
           device.serial ? QString::fromStdString(*device.serial)
                         : QObject::tr("none"),
           device.attached ? QObject::tr("plugged in")
                           : QObject::tr("unplugged"));
}

} // namespace

DevicesPanel::DevicesPanel(hid::sim::SimBackend &backend, QWidget *parent)
    : QGroupBox(tr("Devices"), parent), backend_(backend),
      list_(new QListWidget), model_(new QComboBox), serial_(new QLineEdit),
      unplug_(new QPushButton(tr("&Unplug"))),
      plugBack_(new QPushButton(tr("Plug &Back"))),
      remove_(new QPushButton(tr("&Remove"))) {
  list_->setObjectName(QStringLiteral("deviceList"));
  list_->setMaximumHeight(64);
  model_->addItems({QStringLiteral("PinworthA"), QStringLiteral("PinworthB")});
  serial_->setObjectName(QStringLiteral("serialField"));
  serial_->setPlaceholderText(tr("serial number"));
  auto *add = new QPushButton(tr("Add"));
  add->setObjectName(QStringLiteral("addButton"));
  unplug_->setObjectName(QStringLiteral("unplugButton"));
  plugBack_->setObjectName(QStringLiteral("plugBackButton"));
  remove_->setObjectName(QStringLiteral("removeButton"));

  connect(list_, &QListWidget::currentRowChanged, this, [this] {
    updateButtons();
    emit selectionChanged();
  });
  connect(add, &QPushButton::clicked, this, &DevicesPanel::add);
  connect(unplug_, &QPushButton::clicked, this, [this] {
    if (auto device = selected())
      backend_.detach(*device);
  });
  connect(plugBack_, &QPushButton::clicked, this, [this] {
    if (auto device = selected())
      backend_.plugBack(*device);
  });
  connect(remove_, &QPushButton::clicked, this, [this] {
    if (auto device = selected()) {
      emit removing(*device);
      backend_.remove(*device);
    }
  });

  auto *grid = new QGridLayout(this);
  grid->addWidget(list_, 0, 0, 3, 3);
  grid->addWidget(unplug_, 0, 3);
  grid->addWidget(plugBack_, 1, 3);
  grid->addWidget(remove_, 2, 3);
  grid->addWidget(model_, 3, 0);
  grid->addWidget(serial_, 3, 1);
  grid->addWidget(add, 3, 2);
  refresh();
}

QPushButton *DevicesPanel::button(const char *name) const {
  return findChild<QPushButton *>(QLatin1String(name));
}

std::optional<hid::sim::DeviceID> DevicesPanel::selected() const {
  const QListWidgetItem *item = list_->currentItem();
  if (!item)
    return std::nullopt;
  return item->data(Qt::UserRole).toInt();
}

QString DevicesPanel::nextFreeSerial() const {
  qulonglong highest = 0;
  for (const auto &device : backend_.devices()) {
    bool ok = false;
    const qulonglong number =
        device.serial ? QString::fromStdString(*device.serial).toULongLong(&ok)
                      : 0;
    if (ok)
      highest = std::max(highest, number);
  }
  return QString::number(highest ? highest + 1 : 1000);
}

void DevicesPanel::add() {
  const QString serial = serial_->text().trimmed();
  const auto model = model_->currentIndex() == 0 ? hid::sim::Model::PinworthA
                                                 : hid::sim::Model::PinworthB;
  const hid::sim::DeviceID device = backend_.attach(
      model, (serial.isEmpty() ? nextFreeSerial() : serial).toStdString());
  serial_->clear();
  for (int row = 0; row < list_->count(); ++row)
    if (list_->item(row)->data(Qt::UserRole).toInt() == device)
      list_->setCurrentRow(row);
}

void DevicesPanel::refresh() {
  const std::optional<hid::sim::DeviceID> was = selected();
  const QSignalBlocker quiet(list_);
  list_->clear();
  int current = 0;
  for (const auto &device : backend_.devices()) {
    auto *item = new QListWidgetItem(Describe(device), list_);
    item->setData(Qt::UserRole, device.id);
    if (was == device.id)
      current = list_->count() - 1;
  }
  if (list_->count())
    list_->setCurrentRow(current);
  serial_->setPlaceholderText(
      tr("serial number, default %1").arg(nextFreeSerial()));
  updateButtons();
  if (selected() != was)
    emit selectionChanged();
}

void DevicesPanel::updateButtons() {
  const std::optional<hid::sim::DeviceID> device = selected();
  bool attached = false;
  for (const auto &listed : backend_.devices())
    if (listed.id == device)
      attached = listed.attached;
  unplug_->setEnabled(device && attached);
  plugBack_->setEnabled(device && !attached);
  remove_->setEnabled(bool(device));
}

} // namespace simulator
