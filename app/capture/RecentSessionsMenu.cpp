#include "app/capture/RecentSessionsMenu.h"

#include "app/capture/CaptureSessions.h"
#include "app/capture/SessionSummary.h"

#include <QFileInfo>
#include <QMenu>

#include <map>
#include <memory>

namespace explorer {

namespace {

// What the menu shows of a session, and whether it opens.
struct Entry {
  QString text;
  bool readable = false;
};

Entry EntryOf(const QString &path) {
  QString reason;
  if (const std::optional<SessionSummary> summary =
          SummarizeSession(path, &reason))
    return {SessionLabel(*summary), true};
  return {QStringLiteral("%1 (cannot be read: %2)")
              .arg(QFileInfo(path).fileName(), reason),
          false};
}

} // namespace

void AddRecentSessionsMenu(QMenu &file, CaptureSessions &captures,
                           QWidget *window) {
  QMenu *menu = file.addMenu(QStringLiteral("Recent &Sessions"));
  menu->setObjectName(QStringLiteral("recentSessionsMenu"));
  menu->setToolTipsVisible(true);
  auto entries = std::make_shared<std::map<QString, Entry>>();
  QObject::connect(menu, &QMenu::aboutToShow, menu, [=, &captures] {
    menu->clear();
    std::map<QString, Entry> shown;
    for (const QString &path : captures.sessions()) {
      const auto known = entries->find(path);
      const Entry entry =
          known != entries->end() ? known->second : EntryOf(path);
      shown.emplace(path, entry);
      // The text is the session's own: no mnemonic in it.
      QAction *action = menu->addAction(QString(entry.text).replace('&', "&&"));
      action->setToolTip(path);
      action->setEnabled(entry.readable);
      QObject::connect(
          action, &QAction::triggered, window,
          [&captures, path, window] { captures.open(path, window); });
    }
    *entries = std::move(shown);
    if (menu->isEmpty())
      menu->addAction(QStringLiteral("No sessions kept yet"))
          ->setEnabled(false);
  });
}

} // namespace explorer
