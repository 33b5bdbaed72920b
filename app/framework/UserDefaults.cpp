#include "UserDefaults.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

struct StoredFile {
  enum Status { Absent, Usable, Unusable };
  Status status = Absent;
  QJsonObject root;        // when Usable
  QString unusableBecause; // when Unusable
};

StoredFile ReadStoredFile(const QString &path) {
  const QFileInfo info(path);
  if (!info.exists() && !info.isSymLink())
    return {};
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {StoredFile::Unusable, {}, "cannot be read: " + file.errorString()};
  QJsonParseError error;
  const QJsonDocument document =
      QJsonDocument::fromJson(file.readAll(), &error);
  if (error.error != QJsonParseError::NoError)
    return {StoredFile::Unusable,
            {},
            QStringLiteral("is not valid JSON: %1 at offset %2")
                .arg(error.errorString())
                .arg(error.offset)};
  if (!document.isObject())
    return {StoredFile::Unusable, {}, "does not hold a JSON object"};
  const QJsonObject root = document.object();
  if (root.contains(kDefaultMacrosKey) &&
      !root.value(kDefaultMacrosKey).isArray())
    return {
        StoredFile::Unusable,
        {},
        QStringLiteral("holds no list under \"%1\"").arg(kDefaultMacrosKey)};
  return {StoredFile::Usable, root, {}};
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

// Renames the file out of the way so that a write does not replace it.
bool KeepAside(const QString &path, const QString &unusableBecause) {
  const QString aside = UnusedAsideName(path);
  if (!QDir().rename(path, aside)) {
    qWarning("Preferences file %s %s, and it could not be renamed to %s: "
             "the macro list is not stored",
             qPrintable(path), qPrintable(unusableBecause), qPrintable(aside));
    return false;
  }
  qWarning("Preferences file %s %s; it was kept as %s and a new one is "
           "written",
           qPrintable(path), qPrintable(unusableBecause), qPrintable(aside));
  return true;
}

bool WriteAtomically(const QString &path, const QByteArray &contents) {
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
    qWarning("Cannot create the directory of %s: the macro list is not stored",
             qPrintable(path));
    return false;
  }
  // Unbuffered, so that a short write (disk full, file size limit) shows in
  // write()'s count: a buffered QSaveFile commits the truncated file as a
  // success.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
      file.write(contents) != contents.size() || !file.commit()) {
    qWarning("Cannot write %s (%s): the macro list is not stored",
             qPrintable(path), qPrintable(file.errorString()));
    return false;
  }
  return true;
}

} // namespace

UserDefaults::UserDefaults(QString filePath) : filePath_(std::move(filePath)) {}

UserDefaults &UserDefaults::standard() {
  static UserDefaults defaults;
  return defaults;
}

QString UserDefaults::standardFilePath() {
  return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
         "/defaults.json";
}

void UserDefaults::registerDefaults(const QList<ReportRecord> &macros) {
  registered_.clear();
  for (const ReportRecord &record : macros)
    registered_.append(MacroEntry(record));
}

QList<MacroEntry> UserDefaults::macros() const {
  const StoredFile stored = ReadStoredFile(filePath_);
  if (stored.status == StoredFile::Unusable && !reportedUnusableFile_) {
    reportedUnusableFile_ = true;
    qWarning("Preferences file %s %s; the built-in macros are shown, and the "
             "file is kept aside at the next change",
             qPrintable(filePath_), qPrintable(stored.unusableBecause));
  }
  if (stored.status != StoredFile::Usable ||
      !stored.root.contains(kDefaultMacrosKey))
    return registered_;
  QList<MacroEntry> entries;
  for (const QJsonValue &value : stored.root.value(kDefaultMacrosKey).toArray())
    entries.append(MacroEntry::fromStored(value));
  return entries;
}

bool UserDefaults::setMacros(const QList<MacroEntry> &macros) {
  StoredFile stored = ReadStoredFile(filePath_);
  if (stored.status == StoredFile::Unusable) {
    if (!KeepAside(filePath_, stored.unusableBecause))
      return false;
    stored.root = {};
  }
  QJsonArray list;
  for (const MacroEntry &entry : macros)
    list.append(entry.stored());
  stored.root.insert(kDefaultMacrosKey, list);
  if (!WriteAtomically(filePath_, QJsonDocument(stored.root).toJson()))
    return false;
  reportedUnusableFile_ = false;
  return true;
}
