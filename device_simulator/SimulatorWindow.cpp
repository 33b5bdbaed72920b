#include "device_simulator/SimulatorWindow.h"

#include "device_simulator/DevicesPanel.h"
#include "device_simulator/FaultsPanel.h"
#include "device_simulator/InterfaceOnePanel.h"
#include "device_simulator/PinsPanel.h"
#include "device_simulator/StressPanel.h"

#include <QGridLayout>
#include <QMainWindow>
#include <QMenuBar>

SimulatorWindow::SimulatorWindow(hid::sim::SimBackend &backend, QWidget *parent)
    : QWidget(parent, Qt::Window), backend_(backend),
      devices_(new DevicesPanel(backend)), pins_(new PinsPanel(backend)),
      interfaceOne_(new InterfaceOnePanel(backend)),
      stress_(new StressPanel(backend)), faults_(new FaultsPanel(backend)) {
  setObjectName(QStringLiteral("DeviceSimulator"));
  setWindowTitle(tr("Device Simulator"));
  // A window beside the explorer's: closing the explorer still quits.
  setAttribute(Qt::WA_QuitOnClose, false);
  auto *grid = new QGridLayout(this);
  grid->addWidget(devices_, 0, 0, 1, 2);
  grid->addWidget(pins_, 1, 0);
  grid->addWidget(interfaceOne_, 1, 1, 3, 1);
  grid->addWidget(stress_, 2, 0);
  grid->addWidget(faults_, 4, 0, 1, 2);
  grid->setRowStretch(3, 1);

  connect(devices_, &DevicesPanel::selectionChanged, this,
          &SimulatorWindow::showSelected);
  connect(devices_, &DevicesPanel::removing, stress_, &StressPanel::forget);
  observer_ = backend_.addObserver(
      [this](hid::sim::DeviceID device) { deviceChanged(device); });
  showSelected();
}

SimulatorWindow::~SimulatorWindow() {
  backend_.removeObserver(observer_);
}

// Called by the backend before the call that changed the device returns.
void SimulatorWindow::deviceChanged(hid::sim::DeviceID device) {
  devices_->refresh();
  if (devices_->selected() == device)
    showSelected();
}

void SimulatorWindow::showSelected() {
  const std::optional<hid::sim::DeviceID> device = devices_->selected();
  pins_->showDevice(device);
  interfaceOne_->showDevice(device);
  stress_->showDevice(device);
  faults_->showDevice(device);
}

void AddSimulatorMenu(QMainWindow &explorer, SimulatorWindow &simulator) {
  // Before the Help menu, which stays last.
  QMenuBar *bar = explorer.menuBar();
  QMenu *menu = new QMenu(QObject::tr("Wi&ndow"), bar);
  bar->insertMenu(bar->actions().value(bar->actions().size() - 1), menu);
  QAction *show = menu->addAction(QObject::tr("Device Simulator"));
  show->setObjectName(QStringLiteral("deviceSimulatorAction"));
  QObject::connect(show, &QAction::triggered, &simulator, [&simulator] {
    simulator.show();
    simulator.raise();
    simulator.activateWindow();
  });
}
