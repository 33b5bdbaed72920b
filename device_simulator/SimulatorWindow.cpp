#include "device_simulator/SimulatorWindow.h"

#include "device_simulator/CaptureReplayPanel.h"
#include "device_simulator/DevicesPanel.h"
#include "device_simulator/FaultsPanel.h"
#include "device_simulator/InterfaceOnePanel.h"
#include "device_simulator/PinsPanel.h"
#include "device_simulator/SimulatorPlacement.h"
#include "device_simulator/StressPanel.h"

#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QStyle>
#include <QVBoxLayout>

namespace simulator {

namespace {

// The frame's top left corner and the size inside the frame, which stays
// as it was whatever the frame's size is taken to be.
const QString kPlaceKey = QStringLiteral("device-simulator/place");

// What the window manager puts around a window, as it did around
// explorer's, or as the style draws it while explorer has no frame yet.
QMargins FrameMargins(const QWidget &explorer) {
  const QRect frame = explorer.frameGeometry();
  const QRect inner = explorer.geometry();
  const QMargins margins(inner.left() - frame.left(), inner.top() - frame.top(),
                         frame.right() - inner.right(),
                         frame.bottom() - inner.bottom());
  if (!margins.isNull())
    return margins;
  const int border =
      explorer.style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
  const int titleBar = explorer.style()->pixelMetric(QStyle::PM_TitleBarHeight);
  return {border, titleBar + border, border, border};
}

} // namespace

SimulatorWindow::SimulatorWindow(hid::sim::SimBackend &backend, QWidget *parent)
    : QWidget(parent, Qt::Window), backend_(backend),
      devices_(new DevicesPanel(backend)), pins_(new PinsPanel(backend)),
      interfaceOne_(new InterfaceOnePanel(backend)),
      stress_(new StressPanel(backend)), faults_(new FaultsPanel(backend)),
      replay_(new CaptureReplayPanel(backend)), panels_(new QWidget) {
  setObjectName(QStringLiteral("DeviceSimulator"));
  setWindowTitle(tr("Device Simulator"));
  // A window beside the explorer's: closing the explorer still quits.
  setAttribute(Qt::WA_QuitOnClose, false);
  auto *grid = new QGridLayout(panels_);
  grid->addWidget(devices_, 0, 0, 1, 2);
  grid->addWidget(pins_, 1, 0);
  grid->addWidget(interfaceOne_, 1, 1, 3, 1);
  grid->addWidget(stress_, 2, 0);
  grid->addWidget(faults_, 4, 0, 1, 2);
  grid->addWidget(replay_, 5, 0, 1, 2);
  grid->setRowStretch(3, 1);
  auto *scroller = new QScrollArea;
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->setWidgetResizable(true);
  scroller->setWidget(panels_);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroller);

  connect(devices_, &DevicesPanel::selectionChanged, this,
          &SimulatorWindow::showSelected);
  connect(devices_, &DevicesPanel::removing, stress_, &StressPanel::forget);
  connect(devices_, &DevicesPanel::removing, replay_,
          &CaptureReplayPanel::forget);
  // The pins show the levels the replay set.
  connect(replay_, &CaptureReplayPanel::progressed, this,
          &SimulatorWindow::deviceChanged);
  observer_ = backend_.addObserver(
      [this](hid::sim::DeviceID device) { deviceChanged(device); });
  showSelected();
}

SimulatorWindow::~SimulatorWindow() {
  if (isVisible())
    rememberPlace();
  backend_.removeObserver(observer_);
}

QSize SimulatorWindow::sizeHint() const {
  return panels_->sizeHint();
}

void SimulatorWindow::placeBeside(const QWidget &explorer,
                                  const QString &stateFile) {
  stateFile_ = stateFile;
  // The panels' sizes for what they show now, which their layouts learn of
  // only when shown.
  for (QWidget *panel : std::initializer_list<QWidget *>{
           devices_, pins_, interfaceOne_, stress_, faults_, replay_})
    panel->updateGeometry();
  const QRect place =
      QSettings(stateFile_, QSettings::IniFormat).value(kPlaceKey).toRect();
  QList<QRect> screens;
  for (const QScreen *screen : QGuiApplication::screens())
    screens.append(screen->availableGeometry());
  const QMargins margins = FrameMargins(explorer);
  const QRect frame = SimulatorFrame(
      screens, explorer.frameGeometry(), sizeHint().grownBy(margins),
      place.isValid()
          ? std::optional(QRect(place.topLeft(), place.size().grownBy(margins)))
          : std::nullopt);
  resize(frame.size().shrunkBy(margins));
  move(frame.topLeft());
  show();
}

void SimulatorWindow::rememberPlace() const {
  if (stateFile_.isEmpty())
    return;
  QSettings state(stateFile_, QSettings::IniFormat);
  state.setValue(kPlaceKey, QRect(frameGeometry().topLeft(), size()));
}

void SimulatorWindow::hideEvent(QHideEvent *event) {
  rememberPlace();
  QWidget::hideEvent(event);
}

// The marks' colours follow the palette they are drawn on.
void SimulatorWindow::changeEvent(QEvent *event) {
  if (event->type() == QEvent::PaletteChange)
    showSelected();
  QWidget::changeEvent(event);
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
  replay_->showDevice(device);
}

void AddSimulatorItem(QMenu &windowMenu, SimulatorWindow &simulator) {
  QAction *show = windowMenu.addAction(QObject::tr("Device Simulator"));
  show->setObjectName(QStringLiteral("deviceSimulatorAction"));
  QObject::connect(show, &QAction::triggered, &simulator, [&simulator] {
    simulator.show();
    simulator.raise();
    simulator.activateWindow();
  });
}

} // namespace simulator
