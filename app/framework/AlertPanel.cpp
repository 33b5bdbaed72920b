#include "app/framework/AlertPanel.h"

#include "app/framework/ModalDialog.h"
#include "runloop/DefaultMode.h"

#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace explorer {

namespace {
constexpr int kMessageMinimumWidth = 320;
}

void RunAlertPanel(QWidget *parent, const QString &title,
                   const QString &message, const QString &reason) {
  // The title heads the box as well as its window: without a window manager
  // the window title is not shown, and several alerts share one message.
  QMessageBox box(QMessageBox::Warning, title, title, QMessageBox::NoButton,
                  parent);
  box.setTextFormat(Qt::PlainText);
  box.setInformativeText(reason.isEmpty() ? message
                                          : message + "\n\n" + reason);
  // The title reads as a bold headline; under a short one the box would wrap
  // the message after a few words.
  if (auto *titleLabel = box.findChild<QLabel *>("qt_msgbox_label")) {
    QFont bold = titleLabel->font();
    bold.setBold(true);
    titleLabel->setFont(bold);
  }
  if (auto *messageLabel =
          box.findChild<QLabel *>("qt_msgbox_informativelabel"))
    messageLabel->setMinimumWidth(kMessageMinimumWidth);
  QPushButton *ok =
      box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  RunModal(box);
}

void ShowAlertWhenNoDialog(QWidget *parent, const QString &title,
                           const QString &message, const QString &reason) {
  runloop::RunInDefaultMode(
      [parent = QPointer<QWidget>(parent), title, message, reason] {
        if (parent)
          RunAlertPanel(parent, title, message, reason);
      });
}

} // namespace explorer
