#include "core/ReplayPlan.h"

#include <algorithm>
#include <cmath>

namespace {

// When report at is due, in ms after the first.
int64_t DueMS(const QList<WrittenReport> &reports, qsizetype at,
              const ReplayTiming &timing) {
  switch (timing.kind) {
  case ReplayTiming::Recorded:
    return std::llround(double(reports[at].timeUS - reports.front().timeUS) /
                        1000.0 /
                        std::clamp(timing.speed, ReplayTiming::kMinSpeed,
                                   ReplayTiming::kMaxSpeed));
  case ReplayTiming::Interval:
    return int64_t(timing.intervalMS) * at;
  case ReplayTiming::AsFast:
    break;
  }
  return 0;
}

} // namespace

Sequence ReplaySequence(const QString &name,
                        const QList<WrittenReport> &reports,
                        const ReplayTiming &timing) {
  Sequence sequence{name, {}, 1, std::nullopt};
  int64_t previousMS = 0;
  for (qsizetype at = 0; at < reports.size(); ++at) {
    const int64_t dueMS = DueMS(reports, at, timing);
    const int64_t delayMS =
        std::clamp<int64_t>(dueMS - previousMS, 0, SequenceStep::kMaxDelayMS);
    previousMS = std::max(previousMS, dueMS);
    sequence.steps.append(
        {int(delayMS), reports[at].reportID, reports[at].data});
  }
  return sequence;
}
