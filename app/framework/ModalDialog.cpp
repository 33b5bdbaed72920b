#include "app/framework/ModalDialog.h"

#include "runloop/DefaultMode.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>

namespace explorer {

namespace {

class ModalWatcher : public QObject {
public:
  using QObject::QObject;

  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
      auto *widget = static_cast<QWidget *>(watched);
      if (widget->isWindow() && widget->isModal() && !runloop::InModalScope())
        qWarning("Modal window \"%s\" (%s) shown outside a modal scope: "
                 "device notifications and alerts would be delivered under "
                 "it",
                 qPrintable(widget->windowTitle()),
                 widget->metaObject()->className());
    }
    return false;
  }
};

} // namespace

int RunModal(QDialog &dialog) {
  dialog.setWindowModality(Qt::ApplicationModal);
  runloop::ModalScope modal;
  return dialog.exec();
}

void WarnAboutModalsOutsideScope() {
  static QPointer<ModalWatcher> watcher; // goes with the application
  if (watcher)
    return;
  watcher = new ModalWatcher(QCoreApplication::instance());
  QCoreApplication::instance()->installEventFilter(watcher);
}

} // namespace explorer
