#include "app/AboutBox.h"

#include "app/framework/ModalDialog.h"

#include <QApplication>
#include <QMessageBox>

namespace explorer {

void ShowAboutBox(QWidget *parent) {
  QMessageBox box(parent);
  box.setWindowTitle(QStringLiteral("About Pinworth Explorer"));
  box.setIconPixmap(QApplication::windowIcon().pixmap(64));
  box.setText(QStringLiteral("Pinworth Explorer %1")
                  .arg(QStringLiteral(PINWORTH_VERSION)));
  box.setInformativeText(
      QStringLiteral("Writes, reads and logs the reports of the Pinworth USB "
                     "HID I/O controllers.\n\n"
                     "Released under the MIT License.\n"
                     "Built with Qt %1, running on Qt %2.")
          .arg(QStringLiteral(QT_VERSION_STR),
               QString::fromLatin1(qVersion())));
  box.setStandardButtons(QMessageBox::Ok);
  RunModal(box);
}

} // namespace explorer
