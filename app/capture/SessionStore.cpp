#include "app/capture/SessionStore.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace explorer {

namespace {

constexpr auto kCurrentPrefix = "current-";
constexpr auto kSessionPrefix = "session-";

QString Reason() {
  return QString::fromLocal8Bit(std::strerror(errno));
}

// Whether path is a regular file that no writer holds the lock of
// (CaptureWriter's flock). Neither a link nor a FIFO is opened as one.
bool UnlockedFile(const QString &path) {
  const int fd = ::open(QFile::encodeName(path).constData(),
                        O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0)
    return false;
  struct stat status {};
  const bool unlocked = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                        ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return unlocked;
}

} // namespace

QString SessionStore::StandardFolder() {
  QString state = qEnvironmentVariable("XDG_STATE_HOME");
  if (state.isEmpty() || !QDir::isAbsolutePath(state))
    state = QDir::homePath() + QStringLiteral("/.local/state");
  return state + QStringLiteral("/Pinworth/sessions");
}

bool SessionStore::make(QString *error) const {
  // Each missing folder is made 0700, and the last made so if it was not.
  QString path;
  for (const QString &part : folder_.split('/', Qt::SkipEmptyParts)) {
    path += '/' + part;
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
      *error = QStringLiteral("%1 cannot be made (%2)").arg(path, Reason());
      return false;
    }
  }
  // The folder itself, never what a link there names: a link could make
  // another folder private, or the captures readable by others.
  const int fd = ::open(QFile::encodeName(folder_).constData(),
                        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    *error =
        errno == ELOOP || errno == ENOTDIR
            ? QStringLiteral("%1 is not a folder but a link or a file; "
                             "captures are kept only in a folder of "
                             "your own")
                  .arg(folder_)
            : QStringLiteral("%1 cannot be opened (%2)").arg(folder_, Reason());
    return false;
  }
  struct stat status {};
  bool made = ::fstat(fd, &status) == 0;
  if (made && status.st_uid != ::geteuid()) {
    *error = QStringLiteral("%1 belongs to another user").arg(folder_);
    made = false;
  } else if (!made || ::fchmod(fd, 0700) != 0) {
    *error =
        QStringLiteral("%1 cannot be made private (%2)").arg(folder_, Reason());
    made = false;
  }
  ::close(fd);
  return made;
}

QString SessionStore::newCurrentPath() const {
  static int made = 0;
  return QStringLiteral("%1/%2%3-%4-%5.pwcap")
      .arg(folder_, kCurrentPrefix,
           QDateTime::currentDateTimeUtc().toString("yyyyMMdd-HHmmss-zzz"))
      .arg(::getpid())
      .arg(++made);
}

QString SessionStore::keep(const QString &currentPath) const {
  const QFileInfo current(currentPath);
  QString kept = current.fileName();
  kept.replace(0, int(std::strlen(kCurrentPrefix)), kSessionPrefix);
  kept = current.dir().filePath(kept);
  const bool renamed = QFile::rename(currentPath, kept);
  removeOldSessions();
  return renamed ? kept : currentPath;
}

QStringList SessionStore::orphans() const {
  QStringList found;
  for (const QString &path : named(kCurrentPrefix + QStringLiteral("*.pwcap")))
    if (UnlockedFile(path))
      found << path;
  return found;
}

QStringList SessionStore::sessions() const {
  return named(kSessionPrefix + QStringLiteral("*.pwcap"));
}

QStringList SessionStore::named(const QString &pattern) const {
  QStringList paths;
  const QDir folder(folder_);
  for (const QString &name :
       folder.entryList({pattern}, QDir::Files | QDir::NoSymLinks, QDir::Name))
    paths << folder.filePath(name);
  return paths;
}

void SessionStore::removeOldSessions() const {
  QStringList kept = sessions();
  qint64 bytes = 0;
  for (const QString &path : kept)
    bytes += QFileInfo(path).size();
  // The newest, just kept, stays whatever its size.
  while (kept.size() > 1 && (kept.size() > kKeptCount || bytes > kKeptBytes)) {
    const QString oldest = kept.takeFirst();
    bytes -= QFileInfo(oldest).size();
    QFile::remove(oldest);
  }
}

} // namespace explorer
