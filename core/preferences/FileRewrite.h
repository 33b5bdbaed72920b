// Writing the preferences file that several programs share: the folders it
// needs, the lock a program holds while it changes the file, and the atomic
// rewrite of its text from pieces, some new, some kept from the file read.
// Each returns the reason it failed, for the user, or nothing.
#ifndef PINWORTH_FILE_REWRITE_H
#define PINWORTH_FILE_REWRITE_H

#include "core/text/SkimmedJson.h"

#include <QByteArray>
#include <QLockFile>
#include <QString>

#include <optional>
#include <vector>

namespace core {

namespace preferences {

// The system's text for an errno value.
QString ErrnoText(int error);

// Makes folder and the folders above it that are missing; false, with the
// system's reason in *error, when one cannot be made.
bool MakeFolders(const QString &folder, QString *error);

// Takes lock, waiting up to 5 s for another program that holds it; a lock
// whose owner died without removing it counts as stale after 10 s; false,
// with why in *error, when it cannot be taken.
bool LockForChange(QLockFile &lock, QString *error);

// A name beside path, not taken yet, to keep an unusable file under.
QString UnusedAsideName(const QString &path);

// A part of the file written: bytes of its own, or the file read's text
// from begin to end with the strings left on disk read back.
struct Piece {
  QByteArray bytes;
  qsizetype begin = 0;
  qsizetype end = -1; // none: the bytes
};

inline Piece Kept(qsizetype begin, qsizetype end) {
  return {{}, begin, end};
}

// Replaces the file at path by the pieces, or leaves it as it was. The
// strings left on disk are read back from read, the open file that skimmed
// was read from. False, with why in *error, when the file was left.
bool WriteAtomically(const QString &path, const std::vector<Piece> &pieces,
                     const json::Skimmed &skimmed, int read, QString *error);

} // namespace preferences

} // namespace core

#endif
