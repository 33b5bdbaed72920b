#include "app/ReportForm.h"

#include "app/framework/ViewWithTag.h"
#include "core/text/HexScanner.h"

#include <QLineEdit>
#include <QWidget>

namespace explorer {

namespace {

constexpr int kFirstByteFieldTag = 100;
constexpr int kFirstCaptionTag = 200;
constexpr int kLastCaptionTag = 203;

void ReportMissingSubview(int line) {
  qCritical("*** Assertion failure in PinworthWindowController::"
            "interfacePopupChanged, ReportForm.cpp:%d: could't get subview "
            "for tag",
            line);
}

QList<QLineEdit *> FormFields(QWidget *contentView, QLineEdit *reportIDField) {
  QList<QLineEdit *> fields{reportIDField};
  for (int i = 0; i < ReportForm::kLongLayoutDataBytes; ++i)
    if (auto *field = qobject_cast<QLineEdit *>(
            viewWithTag(contentView, kFirstByteFieldTag + i)))
      fields.append(field);
  return fields;
}

} // namespace

ReportForm::ReportForm(QWidget *contentView, QLineEdit *reportIDField)
    : contentView_(contentView), reportIDField_(reportIDField),
      fields_(FormFields(contentView, reportIDField)) {}

QLineEdit *ReportForm::byteField(int index) const {
  return qobject_cast<QLineEdit *>(
      viewWithTag(contentView_, kFirstByteFieldTag + index));
}

void ReportForm::layOutFor(int position) {
  const int32_t newSize =
      position % 2 == 1 ? kLongLayoutDataBytes : kShortLayoutDataBytes;
  if (newSize == reportSize_)
    return;
  const bool isLong = newSize != kShortLayoutDataBytes;
  for (int i = kShortLayoutDataBytes; i < kLongLayoutDataBytes; ++i) {
    QLineEdit *field = byteField(i);
    if (!field) {
      ReportMissingSubview(__LINE__);
      return;
    }
    field->setEnabled(isLong);
    field->setText(isLong ? QStringLiteral("00") : QStringLiteral("--"));
  }
  for (int tag = kFirstCaptionTag; tag <= kLastCaptionTag; ++tag) {
    QWidget *caption = viewWithTag(contentView_, tag);
    if (!caption) {
      ReportMissingSubview(__LINE__);
      return;
    }
    caption->setEnabled(isLong); // drawn in the palette's text colours
  }
  reportIDField_->setEnabled(isLong);
  reportSize_ = newSize;
  fields_.refreshMarks();
}

std::optional<std::vector<uint8_t>>
ReportForm::dataBytes(QLineEdit **bad) const {
  std::vector<uint8_t> data(std::max(reportSize_, 0));
  for (int i = 0; i < reportSize_; ++i) {
    QLineEdit *field = byteField(i);
    const std::optional<uint8_t> value =
        field ? core::ParseHexByte(field->text()) : std::nullopt;
    if (!value) {
      *bad = field;
      return std::nullopt;
    }
    data[size_t(i)] = *value;
  }
  return data;
}

std::optional<uint8_t> ReportForm::reportID() const {
  return core::ParseHexByte(reportIDField_->text());
}

void ReportForm::load(const core::ReportRecord &record) {
  if (record.direction != core::kReportDirectionOut)
    return;
  const bool hasReportID = record.reportID != core::kNoReportID;
  if (hasReportID)
    reportIDField_->setText(QString::asprintf("%02x", record.reportID));
  const int fields = hasReportID ? kLongLayoutDataBytes : kShortLayoutDataBytes;
  for (int i = 0; i < fields && i < record.data.size(); ++i)
    if (QLineEdit *field = byteField(i))
      field->setText(
          QString::asprintf("%02x", static_cast<uint8_t>(record.data[i])));
}

std::optional<QString> ReportForm::misfit(const core::ReportRecord &macro,
                                          const QString &target) const {
  const bool hasID = macro.reportID != core::kNoReportID;
  const int bytes = int(macro.data.size());
  if (hasID == isLongLayout() && bytes == reportSize_)
    return std::nullopt;
  return QStringLiteral("\"%1\" holds %2%3 data bytes, but %4 takes %5%6: "
                        "choose the interface it is for before Write")
      .arg(macro.name, hasID ? "a report ID and " : "")
      .arg(bytes)
      .arg(target, isLongLayout() ? "a report ID and " : "")
      .arg(reportSize_);
}

void ReportForm::reset() {
  for (int i = 0; i < kLongLayoutDataBytes; ++i)
    if (QLineEdit *field = byteField(i))
      field->setText(QStringLiteral("00"));
}

// An unparseable report ID is left to Write's own alert.
std::optional<QString>
ReportForm::reportCheck(const std::optional<core::InterfaceInfo> &info) const {
  if (!info)
    return std::nullopt;
  std::optional<uint8_t> id;
  if (isLongLayout()) {
    id = reportID();
    if (!id)
      return std::nullopt;
  }
  return core::ReportMismatch(*info, id, reportSize_);
}

} // namespace explorer
