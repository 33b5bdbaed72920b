#include "core/runs/MacroEntry.h"

#include "core/preferences/StoredValues.h"
#include "core/runs/DefaultMacros.h"

namespace core {

namespace {

std::optional<ReportRecord> RecordFrom(const json::Value &value) {
  using Kind = json::Value::Kind;
  if (value.kind != Kind::Object)
    return std::nullopt;
  const json::Value *direction =
      UniqueMember(value, kReportDirectionKey, Kind::String);
  const json::Value *id = UniqueMember(value, kReportIDKey, Kind::Number);
  const json::Value *data = UniqueMember(value, kReportDataKey, Kind::String);
  const json::Value *name = UniqueMember(value, kMacroNameKey, Kind::String);
  if (!direction || !id || !data || !name ||
      (direction->string != kReportDirectionIn &&
       direction->string != kReportDirectionOut))
    return std::nullopt;
  const std::optional<int32_t> reportID = Int32FromNumber(id->number);
  const std::optional<QByteArray> bytes = BytesFromHexPairs(data->string);
  if (!reportID || !bytes)
    return std::nullopt;
  return ReportRecord{direction->string, *reportID, *bytes, name->string};
}

} // namespace

MacroEntry::MacroEntry(const ReportRecord &record)
    : text_("{" + json::Quote(kReportDirectionKey) + ": " +
            json::Quote(record.direction) + ", " + json::Quote(kReportIDKey) +
            ": " + QByteArray::number(record.reportID) + ", " +
            json::Quote(kReportDataKey) + ": \"" + record.data.toHex(' ') +
            "\", " + json::Quote(kMacroNameKey) + ": " +
            json::Quote(record.name) + "}"),
      size_(text_.size()), record_(record), name_(record.name) {}

MacroEntry::MacroEntry(const UserDefaults::Element &element)
    : text_(element.text), size_(element.size) {
  if (isTooLarge()) {
    name_ = QStringLiteral("(not loaded: %1 bytes)").arg(size_);
    return;
  }
  record_ = RecordFrom(element.value);
  if (record_) {
    name_ = record_->name;
  } else if (element.value.kind == json::Value::Kind::Object) {
    if (const json::Value *name = UniqueMember(element.value, kMacroNameKey,
                                               json::Value::Kind::String))
      name_ = name->string;
  }
}

MacroList ReadMacros(const UserDefaults::List &list) {
  MacroList macros{{}, list.generation};
  macros.entries.reserve(list.elements.size());
  for (const UserDefaults::Element &element : list.elements)
    macros.entries.append(MacroEntry(element));
  return macros;
}

void RegisterDefaultMacros(UserDefaults &preferences) {
  QList<QByteArray> defaultMacros;
  for (const DefaultMacro &macro : kDefaultMacroTable)
    defaultMacros.append(
        MacroEntry(ReportRecord{kReportDirectionOut, macro.reportID,
                                QByteArray(reinterpret_cast<const char *>(
                                               macro.data.data()),
                                           kDefaultMacroDataBytes),
                                QString::fromLatin1(macro.name)})
            .text());
  preferences.registerDefaults(defaultMacros);
}

} // namespace core
