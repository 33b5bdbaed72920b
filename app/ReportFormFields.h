// The text fields of the report form, as the keyboard and the clipboard meet
// them: the report ID field and the seven byte fields.
//
// - A field in use (enabled) whose text is not a byte from 00 to FF, by the
//   form's hexadecimal rule, is marked while it is typed, until it is one.
// - A report pasted into a field ("05 01 80", "0x05,0x01", "[5, 1, 128]",
//   see ByteList.h) spreads over the fields in use from that field on; one
//   that does not fit is refused with a message, never cut. A single value
//   is pasted as text.
// - Return in any field asks for a write.
#ifndef PINWORTH_EXPLORER_REPORT_FORM_FIELDS_H
#define PINWORTH_EXPLORER_REPORT_FORM_FIELDS_H

#include <QList>
#include <QObject>

class QLineEdit;

namespace explorer {

class ReportFormFields : public QObject {
  Q_OBJECT
public:
  // The fields in form order, the report ID field first. They belong to the
  // window, which outlives this object.
  ReportFormFields(QList<QLineEdit *> fields, QObject *parent = nullptr);

  // Marks each field in use whose text is not a byte, and unmarks the rest;
  // the layout calls it when it enables or disables fields.
  void refreshMarks();
  static bool isMarked(const QLineEdit *field);
  // The frame of a field whose text is not what it must be.
  static const QString kMarkedStyle;
  // Gives field the keyboard focus with its text selected.
  static void focus(QLineEdit *field);

signals:
  void writeRequested();
  // The text of a field changed, by the user or by the program.
  void edited();
  // A line for the status bar.
  void message(const QString &text);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void paste(QLineEdit *into);
  void refreshMark(QLineEdit *field);

  QList<QLineEdit *> fields_;
};

} // namespace explorer

#endif
