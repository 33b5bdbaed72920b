// Files as the tests read and write them: whole.
#ifndef PINWORTH_TESTS_WHOLE_FILES_H
#define PINWORTH_TESTS_WHOLE_FILES_H

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

// The file's bytes; none when it cannot be read.
inline QByteArray ReadAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Replaces the file's bytes, making its folder first; whether all went.
inline bool WriteAll(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  return QDir().mkpath(QFileInfo(path).absolutePath()) &&
         file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
         file.write(bytes) == bytes.size();
}

#endif
