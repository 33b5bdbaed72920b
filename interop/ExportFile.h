// The file an export writes: bytes gathered in a buffer and written in large
// pieces to a QSaveFile, so that the file appears whole when committed or
// not at all. The first failure is kept; later appends do nothing.
#ifndef PINWORTH_INTEROP_EXPORT_FILE_H
#define PINWORTH_INTEROP_EXPORT_FILE_H

#include <QSaveFile>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace interop {

class ExportFile {
public:
  explicit ExportFile(const QString &path);

  // False, with error() set, when the file cannot be created.
  bool open();
  void append(std::string_view bytes);
  void append(const uint8_t *bytes, size_t size) {
    append(std::string_view(reinterpret_cast<const char *>(bytes), size));
  }
  // Puts the file in place; false, with error() set, when any write failed.
  bool commit();
  bool failed() const { return !error_.isEmpty(); }
  // "could not write FILE: REASON".
  const QString &error() const { return error_; }

private:
  void writeBuffer();
  void fail(const QString &why);

  QSaveFile file_;
  std::string buffer_;
  QString error_;
};

} // namespace interop

#endif
