#include "app/ReadingMenu.h"

#include "app/InterfaceReader.h"

#include <QLabel>
#include <QMainWindow>
#include <QMenu>

namespace explorer {

ReadingMenu::ReadingMenu(QMainWindow *window, QLabel *activity,
                         InterfaceReader &reader)
    : reader_(reader), contextMenu_(new QMenu(activity)) {
  auto *interfaceMenu =
      window->findChild<QMenu *>(QStringLiteral("interfaceMenu"));
  QMenu *stops = interfaceMenu->addMenu(QStringLiteral("&Stop Reading"));
  stops->setObjectName(QStringLiteral("stopReadingMenu"));
  connect(stops, &QMenu::aboutToShow, this, [this, stops] {
    stops->clear();
    fillStops(stops);
  });
  QAction *stopAll = interfaceMenu->addAction(
      QStringLiteral("Stop &All Reading"), this, [this] { reader_.stopAll(); });
  stopAll->setObjectName(QStringLiteral("stopAllReadingAction"));
  stopAll->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
  activity->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(activity, &QWidget::customContextMenuRequested, this,
          [this, activity, stopAll](const QPoint &at) {
            contextMenu_->clear();
            fillStops(contextMenu_);
            contextMenu_->addSeparator();
            contextMenu_->addAction(stopAll);
            contextMenu_->popup(activity->mapToGlobal(at));
          });
}

void ReadingMenu::fillStops(QMenu *menu) {
  for (const core::InterfaceIdentity &source : reader_.polled())
    menu->addAction(QStringLiteral("Stop Polling %1").arg(source.displayName()),
                    this, [this, source] { reader_.stopPolling(source); });
  for (const core::InterfaceIdentity &source : reader_.listening())
    menu->addAction(
        QStringLiteral("Stop Listening on %1").arg(source.displayName()), this,
        [this, source] { reader_.stopListening(source); });
  if (menu->isEmpty())
    menu->addAction(QStringLiteral("Nothing is being read"))->setEnabled(false);
}

} // namespace explorer
