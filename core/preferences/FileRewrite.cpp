#include "core/preferences/FileRewrite.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace core {

namespace preferences {

namespace {

constexpr int kLockWaitMS = 5000;
constexpr int kStaleLockMS = 10000;

// Tries the lock often, so that a program waiting for it is not starved by
// others that take it again and again (QLockFile's own wait backs off to
// seconds between tries).
bool Lock(QLockFile &lock) {
  QElapsedTimer waited;
  waited.start();
  while (!lock.tryLock(0)) {
    if (lock.error() != QLockFile::LockFailedError ||
        waited.elapsed() > kLockWaitMS)
      return false;
    QThread::msleep(2 + QRandomGenerator::global()->bounded(8));
  }
  return true;
}

} // namespace

QString ErrnoText(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

std::optional<QString> MakeFolders(const QString &folder) {
  if (QFileInfo(folder).isDir())
    return std::nullopt;
  const QString parent = QFileInfo(folder).path();
  if (parent != folder)
    if (std::optional<QString> failure = MakeFolders(parent))
      return failure;
  if (::mkdir(QFile::encodeName(folder).constData(), 0777) != 0 &&
      errno != EEXIST)
    return ErrnoText(errno);
  return std::nullopt;
}

std::optional<QString> LockForChange(QLockFile &lock) {
  lock.setStaleLockTime(kStaleLockMS);
  if (Lock(lock))
    return std::nullopt;
  const int lockError = errno;
  qint64 pid = 0;
  QString host, application;
  lock.getLockInfo(&pid, &host, &application);
  switch (lock.error()) {
  case QLockFile::LockFailedError:
    return QStringLiteral("another program (process %1) has held its lock "
                          "for %2 seconds")
        .arg(pid)
        .arg(kLockWaitMS / 1000);
  case QLockFile::PermissionError:
    return QStringLiteral("its lock file cannot be made (permission denied)");
  default:
    return "its lock file cannot be made (" + ErrnoText(lockError) + ")";
  }
}

QString UnusedAsideName(const QString &path) {
  const QString base =
      path + ".corrupt-" +
      QDateTime::currentDateTimeUtc().toString("yyyyMMdd'T'HHmmss'Z'");
  QString name = base;
  for (int n = 2; QFileInfo(name).exists() || QFileInfo(name).isSymLink(); ++n)
    name = base + '-' + QString::number(n);
  return name;
}

// Unbuffered, so that a short write (disk full, file size limit) shows in
// write()'s count: a buffered QSaveFile commits the truncated file as a
// success.
std::optional<QString> WriteAtomically(const QString &path,
                                       const std::vector<Piece> &pieces,
                                       const json::Skimmed &skimmed, int read) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    return "it cannot be written (" + file.errorString() + ")";
  for (const Piece &piece : pieces) {
    errno = 0;
    const bool whole =
        piece.end < 0
            ? file.write(piece.bytes) == piece.bytes.size()
            : json::WriteWhole(skimmed, piece.begin, piece.end, read, file);
    if (!whole)
      return "it cannot be written (" +
             (errno ? ErrnoText(errno) : QStringLiteral("a short write")) + ")";
  }
  if (!file.commit())
    return "it cannot be written (" + file.errorString() + ")";
  return std::nullopt;
}

} // namespace preferences

} // namespace core
