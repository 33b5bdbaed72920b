// What the session list shows of a kept session: when its log began, how
// long it ran (to its last row), the devices it logged and how many rows it
// holds. A file with index records is counted from them and the records
// after the last one, not read whole.
#ifndef PINWORTH_EXPLORER_SESSION_SUMMARY_H
#define PINWORTH_EXPLORER_SESSION_SUMMARY_H

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace explorer {

struct SessionSummary {
  QDateTime start;
  int64_t durationUS = 0; // the last row's time
  QStringList devices;    // "PinworthA (SN 1000)", in the capture's order
  uint64_t rows = 0;
};

// The summary of the capture at path (never followed when a link); none,
// with the reason, when it is not a capture this program reads.
std::optional<SessionSummary> SummarizeSession(const QString &path,
                                               QString *error);

// "2026-12-10 16:04 · 2 min 5 s · PinworthA (SN 1000) · 1,234 rows", the
// start in local time.
QString SessionLabel(const SessionSummary &summary);

} // namespace explorer

#endif
