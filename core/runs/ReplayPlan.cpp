#include "core/runs/ReplayPlan.h"

#include <algorithm>
#include <cmath>

namespace core {

int64_t ReplayDueMS(const ReplayTiming &timing, qsizetype index,
                    int64_t firstUS, int64_t timeUS) {
  switch (timing.kind) {
  case ReplayTiming::Recorded:
    return std::llround(double(timeUS - firstUS) / 1000.0 /
                        std::clamp(timing.speed, ReplayTiming::kMinSpeed,
                                   ReplayTiming::kMaxSpeed));
  case ReplayTiming::Interval:
    return int64_t(timing.intervalMS) * index;
  case ReplayTiming::AsFast:
    break;
  }
  return 0;
}

Sequence ReplaySequence(const QString &name,
                        const QList<WrittenReport> &reports,
                        const ReplayTiming &timing) {
  Sequence sequence{name, {}, 1, std::nullopt};
  int64_t previousMS = 0;
  for (qsizetype at = 0; at < reports.size(); ++at) {
    const int64_t dueMS =
        ReplayDueMS(timing, at, reports.front().timeUS, reports[at].timeUS);
    const int64_t delayMS =
        std::clamp<int64_t>(dueMS - previousMS, 0, SequenceStep::kMaxDelayMS);
    previousMS = std::max(previousMS, dueMS);
    sequence.steps.append(
        {int(delayMS), reports[at].reportID, reports[at].data});
  }
  return sequence;
}

} // namespace core
