#include "app/InterfaceMenu.h"

#include "app/PermissionHelp.h"

#include <QBoxLayout>
#include <QComboBox>

const QString InterfaceMenu::kNoInterfaceText =
    QStringLiteral("No Pinworth device attached");

InterfaceMenu::InterfaceMenu(QComboBox *popup, QWidget *contentView)
    : popup_(popup), permissionHelp_(new PermissionHelp(contentView)) {
  if (auto *layout = qobject_cast<QBoxLayout *>(contentView->layout()))
    layout->insertWidget(0, permissionHelp_);
}

void InterfaceMenu::restoreSelection(
    const std::optional<InterfaceIdentity> &selected) {
  restored_ = selected;
}

bool InterfaceMenu::refill() {
  const std::optional<InterfaceIdentity> selected =
      popup_->currentIndex() >= 0 ? selectedInterface() : restored_;
  restored_.reset();
  popup_->clear();
  const int count = PinworthCountInterfaces();
  popup_->setPlaceholderText(count > 0 ? QString() : kNoInterfaceText);
  for (int i = 0; i < count; ++i) {
    const PinworthListNode *node = PinworthInterfaceListNodeAtIndex(i);
    if (!node)
      break;
    popup_->addItem(QStringLiteral("%1 (SN %2)")
                        .arg(NameForInterfaceType(node->interfaceType))
                        .arg(node->serialNumber));
  }
  permissionHelp_->showFor(DevicesRefusingAccess());
  const int position = selected ? PositionOfIdentity(*selected) : -1;
  if (position >= 0)
    popup_->setCurrentIndex(position);
  return position >= 0 || !selected;
}

int InterfaceMenu::selectedPosition() const {
  return popup_->currentIndex();
}

std::optional<InterfaceIdentity> InterfaceMenu::selectedInterface() const {
  return IdentityAtPosition(popup_->currentIndex());
}

const PinworthListNode *InterfaceMenu::selectedNode() const {
  return PinworthInterfaceListNodeAtIndex(popup_->currentIndex());
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
