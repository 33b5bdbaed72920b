// The panel that asks how to store a sequence made from log rows: its name,
// its gaps (the recorded ones, or a fixed interval) and how it runs (once,
// a number of times, or periodically until stopped).
#ifndef PINWORTH_EXPLORER_SEQUENCE_PANEL_H
#define PINWORTH_EXPLORER_SEQUENCE_PANEL_H

#include <QString>

#include <optional>

class QWidget;

namespace explorer {

struct SequenceChoice {
  QString name;
  std::optional<int> intervalMS; // no value: the recorded gaps
  int repeat = 1;
  std::optional<int> everyMS;
};

// Asks in an application-modal panel over parent, inside a modal scope;
// no value after Cancel, Escape or the close box.
std::optional<SequenceChoice> ChooseSequence(QWidget *parent, int steps);

} // namespace explorer

#endif
