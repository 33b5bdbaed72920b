#include "app/capture/CaptureCopy.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace explorer {

namespace {

// Copies what is left to read from one descriptor to another; 0, or the
// errno of the read or write that failed.
int CopyBytes(int from, int to) {
  std::vector<char> buffer(1 << 20);
  for (;;) {
    const ssize_t got = ::read(from, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return got < 0 ? errno : 0;
    for (ssize_t put = 0; put < got;) {
      const ssize_t n = ::write(to, buffer.data() + put, size_t(got - put));
      if (n < 0 && errno != EINTR)
        return errno;
      put += std::max<ssize_t>(n, 0);
    }
  }
}

} // namespace

bool CopyCaptureFile(const QString &from, const QString &to, QString *error) {
  QFile source(from);
  QSaveFile copy(to);
  copy.setDirectWriteFallback(false);
  if (!source.open(QIODevice::ReadOnly)) {
    *error = source.errorString();
    return false;
  }
  if (!copy.open(QIODevice::WriteOnly)) {
    *error = copy.errorString();
    return false;
  }
  // Qt's own writes report a short write as done: the copy is made here.
  if (const int copyError = CopyBytes(source.handle(), copy.handle());
      copyError != 0 || ::fchmod(copy.handle(), 0600) != 0) {
    *error = QStringLiteral("could not write %1: %2")
                 .arg(to, QString::fromLocal8Bit(
                              std::strerror(copyError ? copyError : errno)));
    copy.cancelWriting();
    return false;
  }
  if (!copy.commit()) {
    *error = copy.errorString();
    return false;
  }
  return true;
}

} // namespace explorer
