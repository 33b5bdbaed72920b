#include "app/framework/WindowMenu.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace explorer {

namespace {

const char kListedWindow[] = "listedWindow";

void Raise(QWidget *window) {
  window->showNormal();
  window->raise();
  window->activateWindow();
}

// The list is made afresh each time the menu opens.
void ListWindows(QMenu *menu, const QMainWindow *own) {
  for (QAction *action : menu->actions())
    if (action->property(kListedWindow).toBool())
      delete action;
  bool separated = false;
  for (QWidget *widget : QApplication::topLevelWidgets()) {
    auto *window = qobject_cast<QMainWindow *>(widget);
    if (!window || !window->isVisible())
      continue;
    if (!separated) {
      menu->addSeparator()->setProperty(kListedWindow, true);
      separated = true;
    }
    QAction *item = menu->addAction(window->windowTitle());
    item->setProperty(kListedWindow, true);
    item->setCheckable(true);
    item->setChecked(window == own);
    QObject::connect(item, &QAction::triggered, window,
                     [shown = QPointer<QMainWindow>(window)] {
                       if (shown)
                         Raise(shown);
                     });
  }
}

} // namespace

QMenu *AddWindowMenu(QMainWindow &window) {
  QMenuBar *bar = window.menuBar();
  auto *menu = new QMenu(QStringLiteral("Wi&ndow"), bar);
  menu->setObjectName(QStringLiteral("windowMenu"));
  QAction *help = nullptr;
  for (QAction *action : bar->actions())
    if (action->menu() &&
        action->menu()->objectName() == QLatin1String("helpMenu"))
      help = action;
  bar->insertMenu(help, menu);
  QAction *minimize = menu->addAction(QStringLiteral("&Minimize"), &window,
                                      [&window] { window.showMinimized(); });
  minimize->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
  QObject::connect(menu, &QMenu::aboutToShow, menu,
                   [menu, &window] { ListWindows(menu, &window); });
  return menu;
}

QMenu *WindowMenuOf(const QMainWindow &window) {
  return window.menuBar()->findChild<QMenu *>(QStringLiteral("windowMenu"));
}

} // namespace explorer
