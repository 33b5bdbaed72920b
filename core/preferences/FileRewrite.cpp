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

bool MakeFolders(const QString &folder, QString *error) {
  if (QFileInfo(folder).isDir())
    return true;
  const QString parent = QFileInfo(folder).path();
  if (parent != folder && !MakeFolders(parent, error))
    return false;
  if (::mkdir(QFile::encodeName(folder).constData(), 0777) != 0 &&
      errno != EEXIST) {
    *error = ErrnoText(errno);
    return false;
  }
  return true;
}

bool LockForChange(QLockFile &lock, QString *error) {
  lock.setStaleLockTime(kStaleLockMS);
  if (Lock(lock))
    return true;
  const int lockError = errno;
  qint64 pid = 0;
  QString host, application;
  lock.getLockInfo(&pid, &host, &application);
  switch (lock.error()) {
  case QLockFile::LockFailedError:
    *error = QStringLiteral("another program (process %1) has held its lock "
                            "for %2 seconds")
                 .arg(pid)
                 .arg(kLockWaitMS / 1000);
    break;
  case QLockFile::PermissionError:
    *error = QStringLiteral("its lock file cannot be made (permission denied)");
    break;
  default:
    *error = "its lock file cannot be made (" + ErrnoText(lockError) + ")";
  }
  return false;
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
bool WriteAtomically(const QString &path, const std::vector<Piece> &pieces,
                     const json::Skimmed &skimmed, int read, QString *error) {
  const auto failed = [error](const QString &why) {
    *error = "it cannot be written (" + why + ")";
    return false;
  };
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    return failed(file.errorString());
  for (const Piece &piece : pieces) {
    errno = 0;
    const bool whole =
        piece.end < 0
            ? file.write(piece.bytes) == piece.bytes.size()
            : json::WriteWhole(skimmed, piece.begin, piece.end, read, file);
    if (!whole)
      return failed(errno ? ErrnoText(errno) : QStringLiteral("a short write"));
  }
  return file.commit() || failed(file.errorString());
}

} // namespace preferences

} // namespace core
