// Sequences: reports sent in order, each after a delay, once, a number of
// times, or every so many milliseconds until stopped. The user defaults keep
// them under kSequencesKey, beside the macro list, one element a sequence:
//
//   {"name": "Blink", "steps": [[0, 5, "01 80"], [250, null, "00 00 00 01"]],
//    "repeat": 3}
//
// A step is [delay before it in ms, report ID or null, data as hexadecimal
// byte pairs]. "repeat" (rounds back to back, default 1) or "every ms" (a
// round begins every so many ms, until stopped) say how it runs. Other keys
// are allowed and kept; the element's text is kept as it was read.
#ifndef PINWORTH_EXPLORER_SEQUENCE_H
#define PINWORTH_EXPLORER_SEQUENCE_H

#include "core/preferences/UserDefaults.h"

#include <QByteArray>
#include <QLatin1String>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace core {

inline constexpr QLatin1String kSequencesKey("sequences");

struct SequenceStep {
  int delayMS = 0;
  int32_t reportID = -1; // kNoReportID: a report without one (interface 0)
  QByteArray data;       // at most kMaxDataBytes

  static constexpr int kMaxDelayMS = 3'600'000;
  static constexpr int kMaxDataBytes = 7;
  bool operator==(const SequenceStep &) const = default;
};

struct Sequence {
  QString name;
  QList<SequenceStep> steps; // at least one
  int repeat = 1;            // rounds, when everyMS is not set
  std::optional<int> everyMS;

  static constexpr int kMaxRepeat = 1'000'000;
  bool operator==(const Sequence &) const = default;
};

// A stored sequence: its text as stored, and the sequence when the text is a
// usable one (each value in the ranges above) and at most
// UserDefaults::kElementMaxBytes long.
class SequenceEntry {
public:
  // A new element, on one line.
  explicit SequenceEntry(const Sequence &sequence);
  explicit SequenceEntry(const UserDefaults::Element &element);

  const std::optional<Sequence> &sequence() const { return sequence_; }
  // The name, "(not usable)" for an element that is not a sequence.
  QString name() const;
  const QByteArray &text() const { return text_; }
  bool isTooLarge() const { return size_ > UserDefaults::kElementMaxBytes; }

private:
  QByteArray text_;
  qsizetype size_; // the element's bytes
  std::optional<Sequence> sequence_;
};

QList<SequenceEntry> ReadSequences(const UserDefaults::List &list);

// The built-in sequence, "Show Test on the display": the five built-in
// display macros in their order, registered as the default of the
// sequence list.
void RegisterDefaultSequences(UserDefaults &sequences);

} // namespace core

#endif
