#include "AlertPanel.h"

#include "platform/DefaultMode.h"

#include <QMessageBox>
#include <QPushButton>

void RunAlertPanel(QWidget *parent, const QString &title,
                   const QString &message) {
  // The title heads the box as well as its window: without a window manager
  // the window title is not shown, and several alerts share one message.
  QMessageBox box(QMessageBox::Warning, title, title, QMessageBox::NoButton,
                  parent);
  box.setTextFormat(Qt::PlainText);
  box.setInformativeText(message);
  box.setWindowModality(Qt::ApplicationModal);
  QPushButton *ok =
      box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  hid::ModalScope modal;
  box.exec();
}
