#include "core/preferences/UserDefaults.h"

#include "core/preferences/FileRewrite.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace core {

namespace {

using preferences::ErrnoText;
using preferences::Kept;
using preferences::Piece;

// An element with a string left on disk, by the text that stands for it:
// a NUL byte (which no JSON text holds), the reading's number and where
// the element is in that reading's text.
struct LongElement {
  quint64 reading;
  qsizetype begin;
  qsizetype end;
};

QByteArray LongElementText(quint64 reading, const json::Value &element) {
  return QByteArray(1, '\0') + QByteArray::number(reading) + ' ' +
         QByteArray::number(element.begin) + ' ' +
         QByteArray::number(element.end);
}

std::optional<LongElement> LongElementOf(const QByteArray &text) {
  if (!text.startsWith('\0'))
    return std::nullopt;
  const QList<QByteArray> fields = text.mid(1).split(' ');
  if (fields.size() != 3)
    return std::nullopt;
  return LongElement{fields[0].toULongLong(), fields[1].toLongLong(),
                     fields[2].toLongLong()};
}

} // namespace

struct UserDefaults::Identity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  static Identity Of(const struct stat &st) {
    return {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
  }
  static Identity OfDescriptor(int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 ? Of(st) : Identity{};
  }
  static Identity OfPath(const QString &path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? Of(st)
                                                                 : Identity{};
  }
  friend bool operator==(const Identity &a, const Identity &b) {
    return a.exists == b.exists && a.device == b.device && a.inode == b.inode &&
           a.size == b.size && a.modified.tv_sec == b.modified.tv_sec &&
           a.modified.tv_nsec == b.modified.tv_nsec &&
           a.changed.tv_sec == b.changed.tv_sec &&
           a.changed.tv_nsec == b.changed.tv_nsec;
  }
};

struct UserDefaults::Read {
  enum Kind {
    Absent,     // no file
    Usable,     // a JSON object, with a list under the key or without the key
    Unusable,   // read whole, but not a usable object: kept aside at a change
    Unreadable, // could not be opened or read: left alone
    NotRegular, // a pipe, a directory, a device: left alone
  } kind = Absent;
  Identity identity;
  quint64 number = 0;    // the reading's own, which long elements' texts name
  json::Skimmed skimmed; // the file's text, long strings left on disk
  json::Value root;
  qsizetype ownedMember = -1; // the list under the key, in root
  QString problem;            // for the kinds that are not usable

  const json::Value *owned() const {
    return ownedMember >= 0 ? &root.members[ownedMember].second : nullptr;
  }
};

// The last reading of the file, while it is what the file holds.
struct UserDefaults::Cache {
  Read file;
  List list;
};

QList<QByteArray> UserDefaults::List::texts() const {
  QList<QByteArray> texts;
  texts.reserve(elements.size() + 1);
  for (const Element &element : elements)
    texts.append(element.text);
  return texts;
}

UserDefaults::UserDefaults(QString filePath, QString key)
    : filePath_(std::move(filePath)), key_(std::move(key)) {
  std::signal(SIGXFSZ, SIG_IGN);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this,
          &UserDefaults::checkDisk);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this,
          &UserDefaults::checkDisk);
  watch();
}

UserDefaults::~UserDefaults() = default;

QString UserDefaults::standardFilePath() {
  return QStandardPaths::writableLocation(
             QStandardPaths::GenericConfigLocation) +
         "/Pinworth/Pinworth Explorer/defaults.json";
}

void UserDefaults::registerDefaults(const QList<QByteArray> &elements) {
  registered_.clear();
  for (const QByteArray &text : elements) {
    auto parsed = json::Parse(text);
    registered_.append(
        {text, std::get<json::Value>(std::move(parsed)), text.size()});
  }
  cache_.reset();
}

// Opens without blocking (a named pipe would wait for a writer) and reads
// only a regular file, whole.
UserDefaults::Read UserDefaults::read() const {
  static quint64 readings = 0;
  Read file;
  file.number = ++readings;
  const int fd = ::open(QFile::encodeName(filePath_).constData(),
                        O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT) {
      file.kind = Read::Unreadable;
      file.problem = "cannot be opened (" + ErrnoText(errno) + ")";
    }
    return file;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    file.kind = Read::Unreadable;
    file.problem = "cannot be examined (" + ErrnoText(errno) + ")";
  } else if (!S_ISREG(st.st_mode)) {
    file.kind = Read::NotRegular;
    file.problem = "is not a regular file";
  } else {
    file.identity = Identity::Of(st);
    auto skimmed = json::Skim(fd, kElementMaxBytes);
    if (const auto *failure = std::get_if<json::ReadFailure>(&skimmed)) {
      file.kind = Read::Unreadable;
      file.problem = "cannot be read (" + ErrnoText(failure->error) + ")";
    } else {
      file.kind = Read::Usable;
      file.skimmed = std::get<json::Skimmed>(std::move(skimmed));
    }
  }
  ::close(fd);
  if (file.kind != Read::Usable)
    return file;

  auto parsed = json::Parse(file.skimmed);
  if (const auto *error = std::get_if<json::ParseError>(&parsed)) {
    file.kind = Read::Unusable;
    file.problem = QStringLiteral("is not valid JSON (%1 at offset %2)")
                       .arg(error->message)
                       .arg(error->offset);
    return file;
  }
  file.root = std::get<json::Value>(std::move(parsed));
  bool duplicated = false;
  for (qsizetype i = 0; i < file.root.members.size(); ++i) {
    if (file.root.members[i].first != key_)
      continue;
    duplicated = file.ownedMember >= 0;
    file.ownedMember = i;
  }
  if (file.root.kind != json::Value::Kind::Object) {
    file.kind = Read::Unusable;
    file.problem = "does not hold a JSON object";
  } else if (duplicated) {
    file.kind = Read::Unusable;
    file.problem = QStringLiteral("holds \"%1\" more than once").arg(key_);
  } else if (file.owned() && file.owned()->kind != json::Value::Kind::Array) {
    file.kind = Read::Unusable;
    file.problem = QStringLiteral("holds no list under \"%1\"").arg(key_);
  } else if (file.owned()) {
    for (json::Value &element :
         file.root.members[file.ownedMember].second.elements)
      if (file.skimmed.fileOffset(element.end) -
              file.skimmed.fileOffset(element.begin) >
          kElementMaxBytes) {
        json::Value textOnly;
        textOnly.begin = element.begin;
        textOnly.end = element.end;
        element = std::move(textOnly);
      }
  }
  return file;
}

// Elements whose texts are those already read keep the generation.
UserDefaults::List UserDefaults::listOf(const Read &file) {
  List list;
  if (file.kind == Read::Usable && file.owned()) {
    list.stored = true;
    const json::Skimmed &skimmed = file.skimmed;
    for (const json::Value &element : file.owned()->elements) {
      const qsizetype size = element.end - element.begin;
      const qint64 fileSize =
          skimmed.fileOffset(element.end) - skimmed.fileOffset(element.begin);
      // One with a string left on disk is named by a text of its own.
      const QByteArray text = fileSize == size
                                  ? skimmed.text.sliced(element.begin, size)
                                  : LongElementText(file.number, element);
      list.elements.append({text, element, qsizetype(fileSize)});
    }
  } else {
    list.elements = registered_;
  }
  const auto sameTexts = [](const List &a, const List &b) {
    return a.stored == b.stored &&
           std::equal(a.elements.begin(), a.elements.end(), b.elements.begin(),
                      b.elements.end(), [](const Element &x, const Element &y) {
                        return x.text == y.text;
                      });
  };
  list.generation = cache_ && sameTexts(cache_->list, list)
                        ? cache_->list.generation
                        : ++generation_;
  return list;
}

void UserDefaults::report(const Read &file) {
  QString message;
  switch (file.kind) {
  case Read::Unusable:
    message = "; the built-in macros are shown, and the file is kept aside at "
              "the next change";
    break;
  case Read::Unreadable:
  case Read::NotRegular:
    message = "; the built-in macros are shown, and the file is left alone";
    break;
  default:
    lastReport_.clear();
    return;
  }
  message = "Preferences file " + filePath_ + " " + file.problem + message;
  if (message != lastReport_)
    qWarning("%s", qPrintable(message));
  lastReport_ = message;
}

// A reading of a file that was not read whole (absent, unreadable) is never
// taken for the file: it is read again.
UserDefaults::Read UserDefaults::current() {
  if (cache_ && cache_->file.identity.exists &&
      cache_->file.identity == Identity::OfPath(filePath_))
    return cache_->file;
  const Read file = read();
  report(file);
  cache_ = std::make_unique<Cache>(Cache{file, listOf(file)});
  return file;
}

UserDefaults::List UserDefaults::list() {
  current();
  return cache_->list;
}

std::optional<QByteArray> UserDefaults::wholeText(const QByteArray &text) {
  const std::optional<LongElement> element = LongElementOf(text);
  if (!element)
    return text;
  const Read file = current();
  if (element->reading != file.number)
    return std::nullopt;
  const int fd = ::open(QFile::encodeName(filePath_).constData(),
                        O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  QBuffer whole;
  whole.open(QIODevice::WriteOnly);
  const bool read =
      fd >= 0 && Identity::OfDescriptor(fd) == file.identity &&
      json::WriteWhole(file.skimmed, element->begin, element->end, fd, whole);
  if (fd >= 0)
    ::close(fd);
  return read ? std::optional(whole.data()) : std::nullopt;
}

namespace {

// The owned list, one element a line; none when an element names a reading
// other than the one numbered reading.
std::optional<std::vector<Piece>> ListPieces(const QList<QByteArray> &elements,
                                             quint64 reading) {
  if (elements.isEmpty())
    return std::vector<Piece>{{"[]"}};
  std::vector<Piece> pieces{{"[\n    "}};
  for (const QByteArray &element : elements) {
    if (pieces.size() > 1)
      pieces.push_back({",\n    "});
    if (const std::optional<LongElement> kept = LongElementOf(element)) {
      if (kept->reading != reading)
        return std::nullopt;
      pieces.push_back(Kept(kept->begin, kept->end));
    } else {
      pieces.push_back({element});
    }
  }
  pieces.push_back({"\n  ]"});
  return pieces;
}

} // namespace

UserDefaults::Outcome UserDefaults::change(const Change &change) {
  const auto failed = [this](const QString &why) {
    return Outcome{Outcome::Failed, filePath_ + ": " + why};
  };
  QString error;
  if (!preferences::MakeFolders(QFileInfo(filePath_).absolutePath(), &error))
    return failed("its folder cannot be made (" + error + ")");
  QLockFile lock(filePath_ + ".lock");
  if (!preferences::LockForChange(lock, &error))
    return failed(error);

  // Under the lock nobody else writes: a reading that matches the file still
  // holds.
  const Read file = current();
  if (file.kind == Read::Unreadable || file.kind == Read::NotRegular)
    return failed("it " + file.problem + ", and nothing was written over it");
  const std::optional<QList<QByteArray>> elements = change(cache_->list);
  if (!elements)
    return {Outcome::Unchanged, {}};

  const std::optional<std::vector<Piece>> list =
      ListPieces(*elements, file.number);
  if (!list)
    return failed("a macro too long to keep in memory is no longer in it");
  std::vector<Piece> pieces;
  const auto add = [&pieces](const std::vector<Piece> &more) {
    pieces.insert(pieces.end(), more.begin(), more.end());
  };
  const QByteArray name = "\n  " + json::Quote(key_) + ": ";
  const qsizetype size = file.skimmed.text.size();
  if (file.kind != Read::Usable) {
    pieces = {{"{" + name}};
    add(*list);
    pieces.push_back({"\n}\n"});
  } else if (const json::Value *owned = file.owned()) {
    pieces = {Kept(0, owned->begin)};
    add(*list);
    pieces.push_back(Kept(owned->end, size));
  } else if (!file.root.members.isEmpty()) {
    const qsizetype end = file.root.members.last().second.end;
    pieces = {Kept(0, end), {"," + name}};
    add(*list);
    pieces.push_back(Kept(end, size));
  } else {
    pieces = {Kept(0, file.root.begin + 1), {name}};
    add(*list);
    pieces.push_back({"\n"});
    pieces.push_back(Kept(file.root.end - 1, size));
  }
  // The file is open from here until it is replaced, for its strings left
  // on disk; it is the one read, as nobody else writes under the lock.
  const int read = ::open(QFile::encodeName(filePath_).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  const auto closeRead = qScopeGuard([read] {
    if (read >= 0)
      ::close(read);
  });
  if (file.kind == Read::Usable && !file.skimmed.gaps.empty() &&
      (read < 0 || Identity::OfDescriptor(read) != file.identity))
    return failed("it changed while it was rewritten");

  if (file.kind == Read::Unusable) {
    const QString aside = preferences::UnusedAsideName(filePath_);
    if (!QDir().rename(filePath_, aside))
      return failed("it " + file.problem + ", and it cannot be renamed to " +
                    aside);
    qWarning("Preferences file %s %s; it was kept as %s and a new one is "
             "written",
             qPrintable(filePath_), qPrintable(file.problem),
             qPrintable(aside));
  }
  if (!preferences::WriteAtomically(filePath_, pieces, file.skimmed, read,
                                    &error))
    return failed(error);
  cache_.reset();
  emit changed();
  return {Outcome::Stored, {}};
}

// Watches the folder (atomic writes replace the file) and the file; when the
// folder does not exist yet, its nearest existing parent.
void UserDefaults::watch() {
  QFileInfo info(filePath_);
  QString folder = info.absolutePath();
  while (!QFileInfo::exists(folder) && folder != QDir::rootPath())
    folder = QFileInfo(folder).absolutePath();
  const QStringList wanted =
      info.exists() ? QStringList{folder, filePath_} : QStringList{folder};
  const QStringList watched = watcher_.directories() + watcher_.files();
  for (const QString &path : watched)
    if (!wanted.contains(path))
      watcher_.removePath(path);
  for (const QString &path : wanted)
    if (!watched.contains(path))
      watcher_.addPath(path);
}

void UserDefaults::checkDisk() {
  watch();
  if (cache_ && cache_->file.identity == Identity::OfPath(filePath_))
    return;
  emit changed();
}

} // namespace core
