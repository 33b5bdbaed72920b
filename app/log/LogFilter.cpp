#include "app/log/LogFilter.h"

#include "core/reports/ReportRecord.h"
#include "core/text/HexScanner.h"

#include <QRegularExpression>

namespace explorer {

std::optional<LogFilter> LogFilter::Parse(QStringView text, QString *error) {
  static const QRegularExpression kID("^id:(?:0[xX])?([0-9a-fA-F]{1,2})$");
  static const QRegularExpression kSource("^src:([AB](:-?\\d*(:[01]?)?)?)$");
  LogFilter filter;
  for (QStringView term : text.split(u' ', Qt::SkipEmptyParts)) {
    if (term == u"event") {
      filter.eventsOnly = true;
    } else if (term == u"R" || term == u"W") {
      filter.isOutput = term == u"W";
    } else if (term == u"id:none") {
      filter.reportID = core::kNoReportID;
    } else if (const auto id = kID.match(term.toString()); id.hasMatch()) {
      filter.reportID = id.capturedView(1).toInt(nullptr, 16);
    } else if (const auto match = kSource.match(term.toString());
               match.hasMatch()) {
      filter.sourcePrefix = match.captured(1);
    } else if (term == u"??") {
      filter.pattern.push_back(-1);
    } else if (term.size() == 2 && core::HexDigitValue(term[0]) >= 0 &&
               core::HexDigitValue(term[1]) >= 0) {
      filter.pattern.push_back(core::HexDigitValue(term[0]) * 16 +
                               core::HexDigitValue(term[1]));
    } else {
      if (error)
        *error = "\"" + term.toString() +
                 "\" is not a filter term (R, W, id:05, id:none, "
                 "src:B:2000:1, event, a byte such as 06, or ?\?)";
      return std::nullopt;
    }
  }
  return filter;
}

bool LogFilter::matches(bool output, int32_t id, const uint8_t *data, int size,
                        bool sourceMatches) const {
  if ((isOutput && *isOutput != output) || (reportID && *reportID != id) ||
      !sourceMatches)
    return false;
  const int offset = id == core::kNoReportID ? 0 : 1;
  if (int(pattern.size()) > size + offset)
    return false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const int byte = i == 0 && offset ? (id & 0xFF) : data[int(i) - offset];
    if (pattern[i] >= 0 && pattern[i] != byte)
      return false;
  }
  return true;
}

} // namespace explorer
