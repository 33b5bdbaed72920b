#include "app/device/DeviceArea.h"

#include "app/device/DisplayPanel.h"
#include "app/device/PinGrid.h"
#include "app/device/ReplayPanel.h"
#include "app/device/SequenceBar.h"
#include "app/device/WindowLog.h"
#include "core/reports/ReportRecord.h"

#include <QMenu>
#include <QVBoxLayout>

namespace explorer {

DeviceArea::DeviceArea(const Links &links, QMenu &menu, QWidget *parent,
                       QWidget *tabPredecessor)
    : QWidget(parent), target_(links.target), writer_(links.target),
      panel_(
          new DisplayPanel(links.target, links.log, links.listeners, writer_)),
      grid_(new PinGrid(writer_)),
      sequences_(
          new SequenceBar(links.target, links.log, links.sequences, writer_)),
      replay_(new ReplayPanel(links.target, links.log, writer_, this)),
      shown_(menu.addAction(QStringLiteral("Show &Device Area"))) {
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
  shown_->setObjectName(QStringLiteral("showDeviceAreaAction"));
  shown_->setCheckable(true);
  shown_->setChecked(true);
  shown_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
  connect(shown_, &QAction::toggled, this, &DeviceArea::refresh);
  connect(&links.target, &WindowTarget::changed, this, &DeviceArea::refresh);
  connect(&links.log, &WindowLog::reportLogged, this,
          [this](const QString &direction, int reportID, int size,
                 const uint8_t *data,
                 const std::optional<core::InterfaceIdentity> &source) {
            const bool isOutput = direction == core::kReportDirectionOut;
            panel_->reportLogged(isOutput, reportID, size, data, source);
            grid_->reportLogged(isOutput, reportID, size, data, source);
          });
  hide();
}

void DeviceArea::refresh() {
  const std::optional<core::InterfaceIdentity> target =
      target_.missing() ? target_.missing() : target_.selected();
  const bool canSend = target && !target_.blocked();
  const bool interface1 = target && target->interfaceNumber() == 1;
  panel_->setTarget(interface1 ? target : std::nullopt, canSend);
  grid_->setTarget(interface1 ? std::nullopt : target, canSend);
  sequences_->setCanSend(canSend);
  panel_->setVisible(interface1);
  grid_->setVisible(target && !interface1);
  setVisible(target && shown_->isChecked());
}

} // namespace explorer
