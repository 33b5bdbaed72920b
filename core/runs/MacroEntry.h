// The macro list as the user defaults store it, one element a macro.
#ifndef PINWORTH_EXPLORER_MACRO_ENTRY_H
#define PINWORTH_EXPLORER_MACRO_ENTRY_H

#include "core/preferences/UserDefaults.h"
#include "core/reports/ReportRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace core {

// An element of the stored list keeps the text in which it is stored, so
// that writing the list back never alters it, also one edited by hand that
// this program cannot use. It is usable when it is a JSON object with each of
// the four record keys once: kReportDirectionKey "R" or "W", kReportIDKey an
// integer that fits in 32 bits (a fraction of zeros allowed), kReportDataKey
// a string of hexadecimal byte pairs (blanks between pairs allowed) and
// kMacroNameKey a string. Other keys are allowed and kept. The data may have
// any length, none included.
//
// An element longer than UserDefaults::kElementMaxBytes is not decoded: it
// is not usable and its name says it was not loaded. (A macro takes well
// under a hundred bytes; a name of megabytes costs the menu seconds to
// measure.)

class MacroEntry {
public:
  // A new element: the record on one line, its data as pairs of lower-case
  // hexadecimal digits separated by blanks ("03 38 01 0f").
  explicit MacroEntry(const ReportRecord &record);
  // An element as stored; record() is empty when it is not usable.
  explicit MacroEntry(const UserDefaults::Element &element);

  const std::optional<ReportRecord> &record() const { return record_; }
  // The macro's name; for an unusable element the string under
  // kMacroNameKey if it has one, else the empty string.
  const QString &name() const { return name_; }
  const QByteArray &text() const { return text_; }
  bool isTooLarge() const { return size_ > UserDefaults::kElementMaxBytes; }

private:
  QByteArray text_;
  qsizetype size_; // the element's bytes
  std::optional<ReportRecord> record_;
  QString name_;
};

// The macro list as read, and the generation of the reading, which changes
// whenever the list does.
struct MacroList {
  QList<MacroEntry> entries;
  quint64 generation = 0;
};

MacroList ReadMacros(const UserDefaults::List &list);

// Registers the six built-in macros as the registered value of the macro
// list in preferences.
void RegisterDefaultMacros(UserDefaults &preferences);

} // namespace core

#endif
