#include "app/PermissionHelp.h"

#include "core/interfaces/InterfaceIdentity.h"

#include "lib/PinworthLib.h"

#include <QClipboard>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace explorer {

namespace {

constexpr auto kRuleName = "70-pinworth.rules";

// Where udev reads rules from; the package puts the rule in the first.
const char *const kRuleFolders[] = {"/usr/lib/udev/rules.d",
                                    "/etc/udev/rules.d"};

bool RuleInstalled() {
  for (const char *folder : kRuleFolders)
    if (QFile::exists(QStringLiteral("%1/%2").arg(folder, kRuleName)))
      return true;
  return false;
}

} // namespace

QStringList DevicesRefusingAccess() {
  QStringList devices;
  for (int position = 0;; ++position) {
    const PinworthListNode *node = PinworthInterfaceListNodeAtIndex(position);
    if (!node)
      break;
    const QString device = QStringLiteral("%1 (SN %2)")
                               .arg(core::InterfaceIdentity{node->interfaceType,
                                                            node->serialNumber}
                                        .modelName())
                               .arg(node->serialNumber);
    if (!devices.contains(device) &&
        node->pinworthHIDInterface->checkAccess() == hid::kErrorNotPermitted)
      devices.append(device);
  }
  return devices;
}

QString PermissionCommands() {
  QString commands;
  if (!RuleInstalled())
    commands += QStringLiteral("sudo install -m 644 packaging/%1 "
                               "/etc/udev/rules.d/\n")
                    .arg(kRuleName);
  commands += QStringLiteral(
      "sudo udevadm control --reload-rules\n"
      "sudo udevadm trigger --subsystem-match=hidraw --action=add");
  return commands;
}

PermissionHelp::PermissionHelp(QWidget *parent)
    : QFrame(parent), message_(new QLabel(this)), commands_(new QLabel(this)) {
  setObjectName(QStringLiteral("permissionHelp"));
  setFrameShape(QFrame::StyledPanel);
  setAccessibleName(QStringLiteral("Permission help"));
  message_->setWordWrap(true);
  commands_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  commands_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto *copy = new QPushButton(QStringLiteral("Cop&y Commands"), this);
  copy->setObjectName(QStringLiteral("copyCommandsButton"));
  auto *dismiss = new QPushButton(QStringLiteral("Dismiss"), this);
  dismiss->setObjectName(QStringLiteral("dismissButton"));
  connect(copy, &QPushButton::clicked, this, [this] {
    QGuiApplication::clipboard()->setText(commands_->text() + '\n');
  });
  connect(dismiss, &QPushButton::clicked, this, [this] {
    dismissed_ = true;
    hide();
  });
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(copy);
  buttons->addWidget(dismiss);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(message_);
  layout->addWidget(commands_);
  layout->addLayout(buttons);
  hide();
}

void PermissionHelp::showFor(const QStringList &devices) {
  if (dismissed_ || devices.isEmpty()) {
    hide();
    return;
  }
  message_->setText(
      QStringLiteral("%1 %2 attached, but this user may not open %3: "
                     "permission denied. The Pinworth udev rule gives the "
                     "user at the seat access. Run these commands in a "
                     "terminal, then unplug the device and plug it in again:")
          .arg(devices.join(QStringLiteral(", ")),
               devices.size() == 1 ? QStringLiteral("is")
                                   : QStringLiteral("are"),
               devices.size() == 1 ? QStringLiteral("it")
                                   : QStringLiteral("them")));
  commands_->setText(PermissionCommands());
  show();
}

QString PermissionHelp::message() const {
  return message_->text();
}

} // namespace explorer
