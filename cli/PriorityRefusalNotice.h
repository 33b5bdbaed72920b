// Tells, once a run and on standard error, that the thread reading
// interrupt reports was refused real-time priority, with what that risks.
// The reader asks for it as its thread starts, so the refusal is looked for
// while an object of this class lives, and once more as it goes.
#ifndef PINWORTH_CLI_PRIORITY_REFUSAL_NOTICE_H
#define PINWORTH_CLI_PRIORITY_REFUSAL_NOTICE_H

#include <QTimer>

namespace cli {

class PriorityRefusalNotice {
public:
  PriorityRefusalNotice();
  ~PriorityRefusalNotice();
  PriorityRefusalNotice(const PriorityRefusalNotice &) = delete;
  PriorityRefusalNotice &operator=(const PriorityRefusalNotice &) = delete;

private:
  QTimer check_;
};

} // namespace cli

#endif
