#include "app/InterfaceMenu.h"

#include "app/PermissionHelp.h"

#include <QBoxLayout>
#include <QComboBox>

namespace explorer {

const QString InterfaceMenu::kNoInterfaceText =
    QStringLiteral("No Pinworth device attached");

InterfaceMenu::InterfaceMenu(QComboBox *popup, QWidget *contentView)
    : popup_(popup), permissionHelp_(new PermissionHelp(contentView)) {
  if (auto *layout = qobject_cast<QBoxLayout *>(contentView->layout()))
    layout->insertWidget(0, permissionHelp_);
}

void InterfaceMenu::restoreSelection(
    const std::optional<core::InterfaceIdentity> &selected) {
  restored_ = selected;
}

namespace {

QList<core::InterfaceIdentity>
Interfaces0(const QList<core::InterfaceIdentity> &listed) {
  QList<core::InterfaceIdentity> devices;
  for (const core::InterfaceIdentity &identity : listed)
    if (identity.interfaceNumber() == 0)
      devices.append(identity);
  return devices;
}

} // namespace

// A restored selection that is not listed at the first fill is dropped: the
// menu then selects its first item, as for a first start.
InterfaceMenu::Change InterfaceMenu::refill() {
  if (restored_)
    target_ = std::exchange(restored_, std::nullopt);
  popup_->clear();
  const int count = PinworthCountInterfaces();
  QList<core::InterfaceIdentity> listed;
  for (int i = 0; i < count; ++i) {
    const PinworthListNode *node = PinworthInterfaceListNodeAtIndex(i);
    if (!node)
      break;
    popup_->addItem(QStringLiteral("%1 (SN %2)")
                        .arg(NameForInterfaceType(node->interfaceType))
                        .arg(node->serialNumber));
    listed.append(*core::IdentityAtPosition(i));
  }
  Change change;
  for (const core::InterfaceIdentity &device : Interfaces0(listed_))
    if (!listed.contains(device))
      change.left.append(device);
  for (const core::InterfaceIdentity &device : Interfaces0(listed))
    if (!listed_.contains(device))
      change.came.append(device);
  const bool firstFill = listed_.isEmpty() && !targetMissing_;
  listed_ = listed;
  permissionHelp_->showFor(DevicesRefusingAccess());

  const int position = target_ ? core::PositionOfIdentity(*target_) : -1;
  const bool wasMissing = targetMissing_;
  targetMissing_ = target_ && position < 0 && !(firstFill && count > 0);
  change.targetLeft = targetMissing_ && !wasMissing;
  change.targetBack = wasMissing && !targetMissing_;
  if (position >= 0) {
    popup_->setCurrentIndex(position);
  } else if (targetMissing_) {
    popup_->setCurrentIndex(-1);
  } else {
    target_ = selectedInterface();
  }
  popup_->setPlaceholderText(
      targetMissing_
          ? QStringLiteral("%1 (unplugged)").arg(target_->displayName())
      : count > 0 ? QString()
                  : kNoInterfaceText);
  return change;
}

void InterfaceMenu::targetSelection() {
  target_ = selectedInterface();
  targetMissing_ = false;
  popup_->setPlaceholderText(listed_.isEmpty() ? kNoInterfaceText : QString());
}

std::optional<core::InterfaceIdentity> InterfaceMenu::missingTarget() const {
  return targetMissing_ ? target_ : std::nullopt;
}

int InterfaceMenu::selectedPosition() const {
  return popup_->currentIndex();
}

std::optional<core::InterfaceIdentity>
InterfaceMenu::selectedInterface() const {
  return core::IdentityAtPosition(popup_->currentIndex());
}

// The library answers a position below 0 with the first node: no selection
// (an unplugged target) must not stand for it.
const PinworthListNode *InterfaceMenu::selectedNode() const {
  const int position = popup_->currentIndex();
  return position < 0 ? nullptr : PinworthInterfaceListNodeAtIndex(position);
}

void InterfaceMenu::readSelectedInfo() {
  const PinworthListNode *node = selectedNode();
  info_.reset();
  if (node)
    info_ = core::ReadInterfaceInfo(*node->pinworthHIDInterface);
  if (infoWindow_ && infoWindow_->isVisible())
    infoWindow_->showFor(selectedInterface(), info_);
}

void InterfaceMenu::showInfoWindow(QWidget *window) {
  if (!infoWindow_)
    infoWindow_ = std::make_unique<InterfaceInfoWindow>(window);
  infoWindow_->showFor(selectedInterface(), info_);
  infoWindow_->show();
  infoWindow_->raise();
  infoWindow_->activateWindow();
}

QString InterfaceMenu::UnpluggedText(const core::InterfaceIdentity &target) {
  return target.displayName() + QStringLiteral(" was unplugged");
}

QString InterfaceMenu::NameForInterfaceType(int interfaceType) {
  switch (interfaceType) {
  case kPinworthAInterface0:
    return QStringLiteral("PinworthA Interface 0");
  case kPinworthAInterface1:
    return QStringLiteral("PinworthA Interface 1");
  case kPinworthBInterface0:
    return QStringLiteral("PinworthB Interface 0");
  case kPinworthBInterface1:
    return QStringLiteral("PinworthB Interface 1");
  default:
    return QStringLiteral("Unknown interface type");
  }
}

} // namespace explorer
