// The report descriptor decoder and both formatters on any bytes. Items
// follow one another from offset 0 within the input, a malformation lies in
// it, and the report table agrees with its own limits.
#include "descriptor/ReportDescriptor.h"
#include "fuzz/FuzzCheck.h"

#include <algorithm>

using namespace hid::descriptor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const Decoded decoded = Decode(data, size);
  size_t end = 0;
  bool reportIDItem = false;
  for (const Item &item : decoded.items) {
    FUZZ_CHECK(item.offset == end && item.size > 0);
    FUZZ_CHECK(item.size <= size - item.offset);
    FUZZ_CHECK(item.depth <= kMaxCollectionDepth);
    end += item.size;
    reportIDItem = reportIDItem || item.name() == "Report ID";
  }
  FUZZ_CHECK(decoded.usesReportIDs == reportIDItem);
  if (!decoded.error)
    FUZZ_CHECK(end == size);
  else if (decoded.error->kind == Malformation::Kind::UnclosedCollection)
    FUZZ_CHECK(end == size && decoded.error->offset < size);
  else
    FUZZ_CHECK(decoded.error->offset == end && end < size);

  for (size_t i = 0; i < decoded.reports.size(); ++i) {
    const Report &report = decoded.reports[i];
    FUZZ_CHECK(report.reportBytes <= kMaxReportBytes);
    FUZZ_CHECK(report.dataBytes == (uint64_t{report.bits} + 7) / 8);
    FUZZ_CHECK(report.reportBytes ==
               report.dataBytes + (decoded.usesReportIDs ? 1 : 0));
    if (i > 0) {
      const Report &previous = decoded.reports[i - 1];
      FUZZ_CHECK(std::pair(previous.reportID, previous.kind) <
                 std::pair(report.reportID, report.kind));
    }
  }

  const std::string items = FormatItems(decoded, data);
  FUZZ_CHECK(size_t(std::count(items.begin(), items.end(), '\n')) ==
             decoded.items.size() + (decoded.error ? 1 : 0));
  FormatReports(decoded);
  return 0;
}
