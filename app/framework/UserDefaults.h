// The application's user defaults: the macro list under kDefaultMacrosKey, in
// two layers. The registration layer lives in memory only; it is read when
// nothing is stored and is never written. The persistent layer is a JSON file
// in the user's configuration directory for this application, rewritten
// whole and atomically at every change.
//
// A preferences file that cannot be read, is not JSON, or does not hold an
// object with a list under the key is never overwritten: reading falls back
// to the registration layer (saying so once on standard error), and the next
// write first renames the file to "<file>.corrupt-<UTC time>" and says so.
// Elements of a stored list that are not usable records are kept in place
// (see MacroEntry), and so are other keys of the file.
//
// Main thread only.
#ifndef PINWORTH_EXPLORER_USER_DEFAULTS_H
#define PINWORTH_EXPLORER_USER_DEFAULTS_H

#include "MacroEntry.h"
#include "ReportRecord.h"

#include <QList>
#include <QString>

class UserDefaults {
public:
  explicit UserDefaults(QString filePath = standardFilePath());

  // The application's defaults, on the standard file. Made at the first call,
  // which must come after the application's organisation and name are set.
  static UserDefaults &standard();

  // "defaults.json" in QStandardPaths::AppConfigLocation.
  static QString standardFilePath();

  const QString &filePath() const { return filePath_; }

  // Replaces the registration layer's macro list.
  void registerDefaults(const QList<ReportRecord> &macros);

  // The stored list if there is a usable one, else the registered list. Read
  // from the file afresh at every call.
  QList<MacroEntry> macros() const;

  // Stores the whole list, replacing the stored one. Returns false, with the
  // reason on standard error, when nothing was stored; the file is then as it
  // was, or kept aside under its new name.
  bool setMacros(const QList<MacroEntry> &macros);

private:
  QString filePath_;
  QList<MacroEntry> registered_;
  mutable bool reportedUnusableFile_ = false;
};

#endif
