// The report form: the report ID field and seven byte fields, found by tag
// (100 + byte index) in the window's content view, in the short layout (4
// data bytes, no report ID, for an interface 0) or the long one (a report ID
// and 7 data bytes, for an interface 1). reportSize() is the layout: 4 or 7,
// and 0 before the first layout.
//
// It lays itself out for a menu position, parses what is typed (each field
// in use a byte from 00 to FF), loads a written report back, resets the
// bytes, and checks the report it holds against the output reports the
// selected interface's descriptor declares. The keyboard and clipboard side
// of the fields is ReportFormFields.
//
// Main thread only; the widgets belong to the window.
#ifndef PINWORTH_EXPLORER_REPORT_FORM_H
#define PINWORTH_EXPLORER_REPORT_FORM_H

#include "app/ReportFormFields.h"
#include "core/interfaces/InterfaceInfo.h"
#include "core/reports/ReportRecord.h"

#include <cstdint>
#include <optional>
#include <vector>

class QLineEdit;
class QWidget;

namespace explorer {

class ReportForm {
public:
  static constexpr int kShortLayoutDataBytes = 4;
  static constexpr int kLongLayoutDataBytes = 7;

  ReportForm(QWidget *contentView, QLineEdit *reportIDField);

  ReportFormFields &fields() { return fields_; }
  int32_t reportSize() const { return reportSize_; }
  bool isLongLayout() const { return reportSize_ == kLongLayoutDataBytes; }

  // The long layout for an odd menu position, the short one otherwise (no
  // selection included). Entering the long layout sets bytes 4 to 6 to
  // "00"; the short one shows "--" there. A tagged view that is missing is
  // reported as a broken window resource, and the layout stays as it was.
  void layOutFor(int position);

  // The data bytes of the layout, or none with the first field whose text
  // is not a byte in *bad (null when a tagged field is missing).
  std::optional<std::vector<uint8_t>> dataBytes(QLineEdit **bad) const;
  // The report ID of the long layout, or none when its text is not a byte.
  std::optional<uint8_t> reportID() const;
  QLineEdit *reportIDField() const { return reportIDField_; }

  // Why a macro loaded into the form does not fit its layout (a report ID
  // and 7 bytes are an interface 1's, 4 bytes and none an interface 0's),
  // for the status bar; none when it fits. target names the selection.
  std::optional<QString> misfit(const core::ReportRecord &macro,
                                const QString &target) const;

  // Loads a written report's ID ("%02x", when it has one) and data bytes
  // into the fields; a read report changes nothing. The layout stays.
  void load(const core::ReportRecord &record);
  // Sets every byte field to "00".
  void reset();

  // What does not match between the report the form holds and the output
  // reports of info's descriptor, or none (see ReportMismatch()).
  std::optional<QString>
  reportCheck(const std::optional<core::InterfaceInfo> &info) const;

private:
  QLineEdit *byteField(int index) const;

  QWidget *contentView_;
  QLineEdit *reportIDField_;
  ReportFormFields fields_;
  int32_t reportSize_ = 0;
};

} // namespace explorer

#endif
