#include "app/timeline/PinHistory.h"

#include "core/reports/ReportDecoder.h"

#include <algorithm>

namespace explorer {

uint32_t PinsOfReport(const uint8_t *data, int size) {
  uint32_t pins = 0;
  for (int port = 0; port < std::min(size, core::kPinPorts); ++port)
    pins |= uint32_t(data[port]) << (port * core::kPinsPerPort);
  return pins;
}

void PinHistory::add(Trace trace, int64_t time, uint32_t pins, int report) {
  Changes &changes = traces_[int(trace)];
  if (!changes.changes.empty())
    time = std::max(time, changes.lastTime);
  changes.lastTime = time;
  if (!changes.changes.empty() && changes.changes.back().pins == pins)
    return;
  changes.changes.push_back({time, pins, report});
  const uint32_t mask = maskOf(changes, changes.changes.size() - 1);
  size_t index = changes.changes.size() - 1;
  for (size_t l = 0;; ++l) {
    index /= kFanOut;
    if (l == changes.levels.size()) {
      // A new top level: its one block covers the whole level below.
      uint32_t all = 0;
      if (l == 0)
        all = mask;
      else
        for (uint32_t below : changes.levels[l - 1])
          all |= below;
      changes.levels.push_back({all});
    } else {
      std::vector<uint32_t> &level = changes.levels[l];
      if (index == level.size())
        level.push_back(0);
      level[index] |= mask;
    }
    if (changes.levels[l].size() == 1)
      break;
  }
}

void PinHistory::clear() {
  for (Changes &changes : traces_)
    changes = {};
}

std::optional<uint32_t> PinHistory::pinsAt(Trace trace, int64_t time) const {
  const Changes &changes = of(trace);
  const size_t after = firstAfter(changes, time);
  if (after == 0)
    return std::nullopt;
  return changes.changes[after - 1].pins;
}

uint32_t PinHistory::changedIn(Trace trace, int64_t from, int64_t to) const {
  const Changes &changes = of(trace);
  return changedBy(changes, firstAfter(changes, from), firstAfter(changes, to));
}

PinHistory::Edges PinHistory::edgesAround(Trace trace, int pin,
                                          int64_t time) const {
  const Changes &changes = of(trace);
  const size_t after = firstAfter(changes, time);
  const size_t count = changes.changes.size();
  Edges edges;
  if (const size_t i = findEdge(changes, pin, 0, after, false); i != after)
    edges.before = changes.changes[i];
  if (const size_t i = findEdge(changes, pin, after, count, true); i != count)
    edges.after = changes.changes[i];
  return edges;
}

std::vector<PinHistory::Change> PinHistory::edgesIn(Trace trace, int pin,
                                                    int64_t from, int64_t to,
                                                    size_t most) const {
  const Changes &changes = of(trace);
  const size_t last = firstAfter(changes, to);
  std::vector<Change> edges;
  for (size_t i = firstAfter(changes, from); edges.size() < most; ++i) {
    i = findEdge(changes, pin, i, last, true);
    if (i >= last)
      break;
    edges.push_back(changes.changes[i]);
  }
  return edges;
}

std::optional<PinHistory::Change> PinHistory::changeNear(Trace trace, int pin,
                                                         int64_t time,
                                                         int64_t within) const {
  const Edges edges = edgesAround(trace, pin, time);
  const auto distance = [time](const std::optional<Change> &change) {
    return change ? (change->time > time ? change->time - time
                                         : time - change->time)
                  : INT64_MAX;
  };
  const std::optional<Change> &nearer =
      distance(edges.before) <= distance(edges.after) ? edges.before
                                                      : edges.after;
  if (distance(nearer) > within)
    return std::nullopt;
  return nearer;
}

std::vector<PinHistory::Column>
PinHistory::columns(Trace trace, const std::vector<int64_t> &bounds) const {
  const Changes &changes = of(trace);
  std::vector<Column> columns;
  if (bounds.empty())
    return columns;
  columns.reserve(bounds.size() - 1);
  size_t first = firstAfter(changes, bounds.front());
  for (size_t i = 1; i < bounds.size(); ++i) {
    const size_t last = firstAfter(changes, bounds[i]);
    Column &column = columns.emplace_back();
    column.changed = changedBy(changes, first, last);
    column.known = last > 0;
    if (column.known)
      column.pins = changes.changes[last - 1].pins;
    first = last;
  }
  return columns;
}

bool PinHistory::isEmpty() const {
  return traces_[0].changes.empty() && traces_[1].changes.empty();
}

int64_t PinHistory::firstTime() const {
  int64_t first = INT64_MAX;
  for (const Changes &changes : traces_)
    if (!changes.changes.empty())
      first = std::min(first, changes.changes.front().time);
  return first == INT64_MAX ? 0 : first;
}

int64_t PinHistory::lastTime() const {
  int64_t last = 0;
  for (const Changes &changes : traces_)
    if (!changes.changes.empty())
      last = std::max(last, changes.lastTime);
  return last;
}

size_t PinHistory::firstAfter(const Changes &changes, int64_t time) {
  return size_t(std::upper_bound(changes.changes.begin(), changes.changes.end(),
                                 time,
                                 [](int64_t t, const Change &change) {
                                   return t < change.time;
                                 }) -
                changes.changes.begin());
}

uint32_t PinHistory::maskOf(const Changes &changes, size_t i) {
  return i == 0 ? 0 : changes.changes[i].pins ^ changes.changes[i - 1].pins;
}

// Takes the changes (then the blocks) at the span's ends one by one until
// both ends fall on a block's edge of the level above, then goes up.
uint32_t PinHistory::changedBy(const Changes &changes, size_t first,
                               size_t last) {
  uint32_t mask = 0;
  const auto item = [&changes](size_t level, size_t i) {
    return level == 0 ? maskOf(changes, i) : changes.levels[level - 1][i];
  };
  for (size_t level = 0; first < last; ++level) {
    while (first < last && first % kFanOut)
      mask |= item(level, first++);
    while (first < last && last % kFanOut)
      mask |= item(level, --last);
    first /= kFanOut;
    last /= kFanOut;
  }
  return mask;
}

// A search by halves for the span's first (or last) change of pin, each
// half asked of the summary.
size_t PinHistory::findEdge(const Changes &changes, int pin, size_t first,
                            size_t last, bool forward) {
  const uint32_t bit = 1u << pin;
  if (first >= last || !(changedBy(changes, first, last) & bit))
    return last;
  size_t lo = first, hi = last; // the edge is in [lo, hi)
  while (hi - lo > 1) {
    const size_t mid = lo + (hi - lo) / 2;
    const bool inFirstHalf = changedBy(changes, lo, mid) & bit;
    const bool inSecondHalf = !inFirstHalf || changedBy(changes, mid, hi) & bit;
    if (forward ? inFirstHalf : !inSecondHalf)
      hi = mid;
    else
      lo = mid;
  }
  return lo;
}

} // namespace explorer
