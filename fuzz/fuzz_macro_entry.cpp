// A stored macro or sequence on any bytes, as a hand-edited preferences file
// may hold it: decoding never fails loudly, an element past the size limit
// is never decoded, and a usable record or sequence comes back the same from
// the text the explorer writes for it (unless that text is past the limit:
// the explorer then refuses to store it).
#include "core/runs/MacroEntry.h"
#include "core/runs/Sequence.h"
#include "fuzz/FuzzCheck.h"

namespace {

template <typename Entry> std::optional<Entry> Decoded(const QByteArray &text) {
  auto parsed = core::json::Parse(text);
  auto *value = std::get_if<core::json::Value>(&parsed);
  if (!value)
    return std::nullopt;
  return Entry(
      core::UserDefaults::Element{text, std::move(*value), text.size()});
}

void CheckSequence(const QByteArray &text) {
  const std::optional<core::SequenceEntry> entry =
      Decoded<core::SequenceEntry>(text);
  if (!entry)
    return;
  FUZZ_CHECK(entry->text() == text);
  FUZZ_CHECK(!entry->isTooLarge() || !entry->sequence());
  if (const std::optional<core::Sequence> &sequence = entry->sequence()) {
    FUZZ_CHECK(!sequence->steps.isEmpty());
    const std::optional<core::SequenceEntry> again =
        Decoded<core::SequenceEntry>(core::SequenceEntry(*sequence).text());
    FUZZ_CHECK(again && (again->isTooLarge() || again->sequence() == sequence));
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
  CheckSequence(text);
  const std::optional<core::MacroEntry> macro = Decoded<core::MacroEntry>(text);
  if (!macro)
    return 0;
  FUZZ_CHECK(macro->text() == text);
  if (macro->isTooLarge()) {
    FUZZ_CHECK(!macro->record());
    return 0;
  }
  if (const std::optional<core::ReportRecord> &record = macro->record()) {
    FUZZ_CHECK(macro->name() == record->name);
    const std::optional<core::MacroEntry> again =
        Decoded<core::MacroEntry>(core::MacroEntry(*record).text());
    FUZZ_CHECK(again && (again->isTooLarge() || again->record() == record));
  }
  return 0;
}
