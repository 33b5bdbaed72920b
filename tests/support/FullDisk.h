// A full disk for real: a small tmpfs mounted at a folder while it lives,
// filled but for a little room, so that writes there fail with ENOSPC as on
// a full disk. Mounting needs root (CAP_SYS_ADMIN); mounted() tells whether
// it was, for the test to skip otherwise.
#ifndef PINWORTH_TESTS_FULL_DISK_H
#define PINWORTH_TESTS_FULL_DISK_H

#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

class FullDisk {
public:
  // Mounts a 256 KiB tmpfs at folder (made when missing) and fills it but
  // for about room bytes (whole pages).
  explicit FullDisk(const QString &folder, qint64 room = 0) : folder_(folder) {
    QDir().mkpath(folder_);
    mounted_ = ::mount("tmpfs", QFile::encodeName(folder_).constData(), "tmpfs",
                       0, "size=256k,mode=0700") == 0;
    if (!mounted_)
      return;
    const QByteArray filler = QFile::encodeName(folder_ + "/.filler");
    const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT, 0600);
    const char page[4096] = {};
    off_t size = 0;
    while (::write(fd, page, sizeof page) == ssize_t(sizeof page))
      size += off_t(sizeof page);
    ::ftruncate(fd, std::max<off_t>(0, size - off_t(room)) / 4096 * 4096);
    ::close(fd);
  }
  ~FullDisk() {
    if (mounted_)
      ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
  }
  FullDisk(const FullDisk &) = delete;
  FullDisk &operator=(const FullDisk &) = delete;

  bool mounted() const { return mounted_; }

private:
  QString folder_;
  bool mounted_ = false;
};

#endif
