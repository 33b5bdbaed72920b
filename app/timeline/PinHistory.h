// Interface 0's 32 pins over time, as a log holds them: for the latches (the
// reports written) and the levels (the reports read) each, the reports whose
// pins differ from the report before, and a summary of them in blocks, so
// that which pins changed in any span of time is found in O(log changes)
// however long the log is. Appending keeps the summary up to date at once.
//
// Pin p is bit p of a report's pins (see PinsOfReport()).
#ifndef PINWORTH_EXPLORER_PIN_HISTORY_H
#define PINWORTH_EXPLORER_PIN_HISTORY_H

#include <cstdint>
#include <optional>
#include <vector>

namespace explorer {

// The 32 pins of an interface 0 report of size bytes (a pin past them is low).
uint32_t PinsOfReport(const uint8_t *data, int size);

class PinHistory {
public:
  enum class Trace { Latch, Level };
  static constexpr int kTraceCount = 2;
  // Changes a block of the summary's first level covers, and blocks of a
  // level a block of the next covers.
  static constexpr size_t kFanOut = 16;

  // One report whose pins differ from those before it (or the first).
  struct Change {
    int64_t time = 0; // microseconds on the log's clock
    uint32_t pins = 0;
    int report = 0; // its index in the log
  };

  // Takes a report of the log: report, logged at time, with pins. A time
  // before the last report's is taken as the last's (a log's clock does not
  // go back; a capture file's may).
  void add(Trace trace, int64_t time, uint32_t pins, int report);
  void clear();

  // The pins as of time: those of the last report at or before it; none
  // before the first report.
  std::optional<uint32_t> pinsAt(Trace trace, int64_t time) const;
  // The pins that changed after from, up to and including to.
  uint32_t changedIn(Trace trace, int64_t from, int64_t to) const;
  // The changes of pin, the last at or before time and the first after it.
  struct Edges {
    std::optional<Change> before, after;
  };
  Edges edgesAround(Trace trace, int pin, int64_t time) const;
  // The changes of pin after from, up to and including to, oldest first; at
  // most most of them.
  std::vector<Change> edgesIn(Trace trace, int pin, int64_t from, int64_t to,
                              size_t most) const;
  // The change of a pin nearest time, within within microseconds of it.
  std::optional<Change> changeNear(Trace trace, int pin, int64_t time,
                                   int64_t within) const;

  // What a column of a drawing shows: the pins at its end (none known before
  // the first report) and those that changed in it.
  struct Column {
    uint32_t pins = 0;
    uint32_t changed = 0;
    bool known = false;
  };
  // The columns between bounds (in time order): column i covers the times
  // after bounds[i], up to and including bounds[i + 1].
  std::vector<Column> columns(Trace trace,
                              const std::vector<int64_t> &bounds) const;

  bool isEmpty() const;
  // The times of the first and last reports of either trace (0 when none).
  int64_t firstTime() const;
  int64_t lastTime() const;
  size_t changeCount(Trace trace) const { return of(trace).changes.size(); }

private:
  struct Changes {
    std::vector<Change> changes;
    // levels[0][b]: the pins changed by changes[b * kFanOut ...] up to
    // kFanOut of them; levels[l][b] the same of kFanOut blocks of level l-1.
    std::vector<std::vector<uint32_t>> levels;
    int64_t lastTime = 0; // of the last report, changed or not
  };
  const Changes &of(Trace trace) const { return traces_[int(trace)]; }
  // The first change after time.
  static size_t firstAfter(const Changes &changes, int64_t time);
  // The pins changed by changes [first, last).
  static uint32_t changedBy(const Changes &changes, size_t first, size_t last);
  // The pins change i changed: none for the first.
  static uint32_t maskOf(const Changes &changes, size_t i);
  // The first change of pin in [first, last) going forward, or the last of
  // them going back; last when there is none.
  static size_t findEdge(const Changes &changes, int pin, size_t first,
                         size_t last, bool forward);

  Changes traces_[kTraceCount];
};

} // namespace explorer

#endif
