// Where the explorer keeps its captures: a folder of the user's state
// ($XDG_STATE_HOME/Pinworth/sessions, with ~/.local/state when it is unset),
// the user's own (mode 0700; the captures are 0600).
//
// A window's log is written to a current capture ("current-*.pwcap") while
// the window is open. When the log is cleared or the window closes, that
// capture is kept as a session ("session-*.pwcap"), which the user can open
// again. A current capture whose writer no longer holds its lock is an
// orphan: the explorer that wrote it ended without closing it (a crash, a
// kill). Past kKeptCount sessions or kKeptBytes of them in all, the oldest
// are removed; a current capture never is. Names sort by the time a capture
// began. Main thread only.
#ifndef PINWORTH_EXPLORER_SESSION_STORE_H
#define PINWORTH_EXPLORER_SESSION_STORE_H

#include <QString>
#include <QStringList>

namespace explorer {

class SessionStore {
public:
  static constexpr int kKeptCount = 20;
  static constexpr qint64 kKeptBytes = qint64(2) << 30; // 2 GiB

  static QString StandardFolder();

  explicit SessionStore(QString folder) : folder_(std::move(folder)) {}
  const QString &folder() const { return folder_; }

  // Makes the folder if it is missing and gives it mode 0700; false, with
  // the reason, when it cannot, or when the folder is a link (never
  // followed) or another user's.
  bool make(QString *error) const;
  // The path of a new current capture, unique in this process.
  QString newCurrentPath() const;
  // Keeps the current capture at path as a session, then removes the oldest
  // sessions past the limits. Returns the session's path (the current path
  // when it could not be renamed).
  QString keep(const QString &currentPath) const;
  // The orphaned current captures, oldest first: regular files whose
  // writer no longer holds their lock; links and FIFOs are left alone.
  QStringList orphans() const;
  // The sessions kept, oldest first.
  QStringList sessions() const;

private:
  QStringList named(const QString &pattern) const;
  void removeOldSessions() const;

  QString folder_;
};

} // namespace explorer

#endif
