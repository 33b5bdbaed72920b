// One element of the stored macro list.
#ifndef PINWORTH_EXPLORER_MACRO_ENTRY_H
#define PINWORTH_EXPLORER_MACRO_ENTRY_H

#include "ReportRecord.h"

#include <QJsonValue>
#include <QString>

#include <optional>

// An element keeps the form in which it is stored, so that writing the list
// back never loses or alters an element, also one edited by hand that this
// program cannot use. It is usable when its stored form is a JSON object with
// the four record keys: kReportDirectionKey "R" or "W", kReportIDKey an integer
// that fits in 32 bits, kReportDataKey a string of hexadecimal byte pairs
// (blanks between pairs allowed) and kMacroNameKey a string. Other keys are
// allowed and kept. The data may have any length, none included.
class MacroEntry {
public:
  // A new element made from a record, stored with its data as pairs of
  // lower-case hexadecimal digits separated by blanks ("03 38 01 0f").
  explicit MacroEntry(const ReportRecord &record);

  // An element read from storage; record() is empty when it is not usable.
  static MacroEntry fromStored(const QJsonValue &stored);

  const std::optional<ReportRecord> &record() const { return record_; }
  bool isValid() const { return record_.has_value(); }

  // The macro's name; for an unusable element the string under kMacroNameKey
  // if it has one, else the empty string.
  QString name() const;

  const QJsonValue &stored() const { return stored_; }

private:
  explicit MacroEntry(const QJsonValue &stored);

  QJsonValue stored_;
  std::optional<ReportRecord> record_;
};

#endif
