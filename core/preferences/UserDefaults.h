// The application's user defaults: a JSON object in a preferences file, of
// which the program owns the list under one key, in two layers. The
// registration layer lives in memory only; it is read when nothing is stored
// and is never written. The stored layer is the file.
//
// The file is the user's: rewriting the owned list leaves every other byte as
// it was (other keys, their values, their layout), and elements of the list
// are kept as their text. Reading it never blocks (a named pipe in its place
// is refused) and happens only when the file changed on disk; a file watcher
// says when another program changed it. Changes are read, made and written
// under a lock file beside it, so that two programs never lose each other's
// changes; the file is replaced atomically.
//
// A file whose content was read whole but is not a usable object (not JSON,
// no list under the key, the key twice) is shown as the registered list and
// kept aside as "<file>.corrupt-<UTC time>" at the next change. A file that
// cannot be read (open or read errors: EMFILE, EACCES, EIO...) or is not a
// regular file is never set aside or written over: changes fail with the
// reason. Problems are reported once on standard error.
//
// An element of the list whose text is longer than kElementMaxBytes is kept
// as its text only (its value is null): it is written back as it is but
// never decoded. The inside of a string longer than that is never read
// into memory: the file is read a piece at a time, such strings left on
// disk (core/text/SkimmedJson.h) and copied from the old file when it is
// rewritten, so that reading and rewriting a file with a string of any
// length takes memory for its short parts only.
//
// Main thread only.
#ifndef PINWORTH_EXPLORER_USER_DEFAULTS_H
#define PINWORTH_EXPLORER_USER_DEFAULTS_H

#include "core/text/JsonText.h"
#include "core/text/SkimmedJson.h"

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace core {

class UserDefaults : public QObject {
  Q_OBJECT
public:
  static constexpr qsizetype kElementMaxBytes = 4096;

  // One element of the owned list: its text as stored, its value and its
  // size in bytes. An element longer than kElementMaxBytes whose strings
  // are left on disk has a short text of its own that stands for it in a
  // change, as its text does; wholeText() gives its bytes.
  struct Element {
    QByteArray text;
    json::Value value;
    qsizetype size = 0;
  };
  // The owned list as read. generation changes whenever what was read does;
  // stored tells whether it came from the file or the registration layer.
  struct List {
    QList<Element> elements;
    quint64 generation = 0;
    bool stored = false;

    // The elements' texts, in order: what a change returns to keep them.
    QList<QByteArray> texts() const;
  };
  // Given the list read afresh under the lock, the texts of the new list's
  // elements, or no value to leave the file alone.
  using Change = std::function<std::optional<QList<QByteArray>>(const List &)>;
  // What a change did; reason says why when it failed.
  struct Outcome {
    enum Result { Stored, Unchanged, Failed } result;
    QString error;
  };

  // Defaults on filePath owning the list under key. A write that would pass
  // the file-size limit fails from then on instead of ending the process
  // (SIGXFSZ is ignored).
  UserDefaults(QString filePath, QString key);
  ~UserDefaults() override;

  // The explorer's: "Pinworth/Pinworth Explorer/defaults.json" in the
  // user's configuration folder (~/.config), whichever program asks.
  static QString standardFilePath();

  const QString &filePath() const { return filePath_; }
  const QString &key() const { return key_; }

  // Replaces the registration layer's list with these element texts, each of
  // which must be a JSON value.
  void registerDefaults(const QList<QByteArray> &elements);

  // The stored list when the file holds a usable one, else the registered
  // one. The file is read again only when it changed on disk.
  List list();

  Outcome change(const Change &change);

  // The whole text of an element of the list read last: text itself, or
  // the file's bytes of the element it stands for (to keep it once the file
  // no longer holds it); none when the file can no longer give them.
  std::optional<QByteArray> wholeText(const QByteArray &text);

signals:
  // The file changed since it was last read, by another program or by a
  // change() of this object: list() may differ.
  void changed();

private:
  struct Identity; // of the file on disk: device, inode, size, times
  struct Read;     // a reading of the file and what it held
  struct Cache;

  Read read() const;
  Read current();
  List listOf(const Read &file);
  void report(const Read &file);
  void watch();
  void checkDisk();

  QString filePath_;
  QString key_;
  QList<Element> registered_;
  std::unique_ptr<Cache> cache_;
  quint64 generation_ = 0;
  QString lastReport_;
  QFileSystemWatcher watcher_;
};

} // namespace core

#endif
