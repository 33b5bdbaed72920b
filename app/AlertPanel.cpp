#include "AlertPanel.h"

#include "platform/DefaultMode.h"

#include <QMessageBox>
#include <QPushButton>

void RunAlertPanel(QWidget *parent, const QString &title,
                   const QString &message) {
  QMessageBox box(QMessageBox::Warning, title, message, QMessageBox::NoButton,
                  parent);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  QPushButton *ok =
      box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  hid::ModalScope modal;
  box.exec();
}
