// A stored macro on any bytes, as a hand-edited preferences file may hold
// it: decoding never fails loudly, an element past the size limit is never
// decoded, and a usable record comes back the same from the text the
// explorer writes for it (unless that text is past the limit: the explorer
// then refuses to store it).
#include "core/MacroEntry.h"
#include "fuzz/FuzzCheck.h"

namespace {

std::optional<MacroEntry> Decoded(const QByteArray &text) {
  auto parsed = json::Parse(text);
  auto *value = std::get_if<json::Value>(&parsed);
  if (!value)
    return std::nullopt;
  return MacroEntry(UserDefaults::Element{text, std::move(*value)});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
  const std::optional<MacroEntry> macro = Decoded(text);
  if (!macro)
    return 0;
  FUZZ_CHECK(macro->text() == text);
  if (macro->isTooLarge()) {
    FUZZ_CHECK(!macro->record());
    return 0;
  }
  if (const std::optional<ReportRecord> &record = macro->record()) {
    FUZZ_CHECK(macro->name() == record->name);
    const std::optional<MacroEntry> again = Decoded(MacroEntry(*record).text());
    FUZZ_CHECK(again && (again->isTooLarge() || again->record() == record));
  }
  return 0;
}
