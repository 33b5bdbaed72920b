#include "app/device/DeviceArea.h"

#include "app/InterfaceMenu.h"
#include "app/PinworthWindowController.h"
#include "app/device/DisplayPanel.h"
#include "app/device/PinGrid.h"
#include "app/device/ReplayPanel.h"
#include "app/device/SequenceBar.h"
#include "core/reports/ReportRecord.h"

#include <QMainWindow>
#include <QMenu>
#include <QVBoxLayout>

DeviceArea::DeviceArea(PinworthWindowController &controller, QWidget *parent,
                       QWidget *tabPredecessor)
    : QWidget(parent), controller_(controller), writer_(controller),
      panel_(new DisplayPanel(controller, writer_)),
      grid_(new PinGrid(writer_)),
      sequences_(new SequenceBar(controller, writer_)),
      replay_(new ReplayPanel(controller, writer_, this)), shown_(nullptr) {
  setObjectName(QStringLiteral("deviceArea"));
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(panel_);
  layout->addWidget(grid_);
  layout->addWidget(sequences_);
  QWidget *previous = tabPredecessor;
  for (QWidget *next :
       panel_->tabOrder() + grid_->tabOrder() + sequences_->tabOrder())
    setTabOrder(std::exchange(previous, next), next);
  shown_ = controller.mainWindow()
               ->findChild<QMenu *>(QStringLiteral("interfaceMenu"))
               ->addAction(QStringLiteral("Show &Device Area"));
  shown_->setObjectName(QStringLiteral("showDeviceAreaAction"));
  shown_->setCheckable(true);
  shown_->setChecked(true);
  shown_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
  connect(shown_, &QAction::toggled, this, &DeviceArea::refresh);
  connect(&controller, &PinworthWindowController::controlsRefreshed, this,
          &DeviceArea::refresh);
  connect(&controller, &PinworthWindowController::reportLogged, this,
          [this](const QString &direction, int reportID, int size,
                 const uint8_t *data,
                 const std::optional<InterfaceIdentity> &source) {
            const bool isOutput = direction == kReportDirectionOut;
            panel_->reportLogged(isOutput, reportID, size, data, source);
            grid_->reportLogged(isOutput, reportID, size, data, source);
          });
  hide();
}

void DeviceArea::refresh() {
  const InterfaceMenu &menu = controller_.interfaceMenu();
  const std::optional<InterfaceIdentity> target =
      menu.missingTarget() ? menu.missingTarget() : menu.selectedInterface();
  const bool canSend = target && !menu.targetBlocked();
  const bool interface1 = target && target->interfaceNumber() == 1;
  panel_->setTarget(interface1 ? target : std::nullopt, canSend);
  grid_->setTarget(interface1 ? std::nullopt : target, canSend);
  sequences_->setCanSend(canSend);
  panel_->setVisible(interface1);
  grid_->setVisible(target && !interface1);
  setVisible(target && shown_->isChecked());
}
