// A replay to a device: the reports written to it, as a log or a capture
// recorded them, made into a sequence that sends them once, in order, with
// the recorded gaps divided by a speed, at a fixed interval, or as fast as
// the device takes them. Each step's delay is rounded from its time since
// the first, so that rounding to milliseconds never adds up; a gap longer
// than SequenceStep::kMaxDelayMS is cut to it.
#ifndef PINWORTH_EXPLORER_REPLAY_PLAN_H
#define PINWORTH_EXPLORER_REPLAY_PLAN_H

#include "core/runs/Sequence.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

namespace core {

struct WrittenReport {
  int64_t timeUS = 0;    // as recorded
  int32_t reportID = -1; // kNoReportID on an interface 0
  QByteArray data;       // the data bytes, never the report ID
};

struct ReplayTiming {
  enum Kind { Recorded, Interval, AsFast } kind = Recorded;
  static constexpr double kMinSpeed = 0.1;
  static constexpr double kMaxSpeed = 10;
  double speed = 1;   // Recorded: the gaps are divided by it
  int intervalMS = 0; // Interval: between two reports
};

// When the report at index, recorded at timeUS, is due under timing: in ms
// after the first, recorded at firstUS.
int64_t ReplayDueMS(const ReplayTiming &timing, qsizetype index,
                    int64_t firstUS, int64_t timeUS);

// reports (at least one) as a sequence named name.
Sequence ReplaySequence(const QString &name,
                        const QList<WrittenReport> &reports,
                        const ReplayTiming &timing);

} // namespace core

#endif
