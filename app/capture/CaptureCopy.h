// Copies a capture file to a path the user named. The copy is written
// beside that path and put in its place only once whole and synced, so a
// failure (a full disk) leaves a file already there as it was; it is the
// user's own (0600), as the sessions are. Main thread only.
#ifndef PINWORTH_EXPLORER_CAPTURE_COPY_H
#define PINWORTH_EXPLORER_CAPTURE_COPY_H

#include <QString>

namespace explorer {

// false, with the reason, when the copy could not be made whole.
bool CopyCaptureFile(const QString &from, const QString &to, QString *error);

} // namespace explorer

#endif
