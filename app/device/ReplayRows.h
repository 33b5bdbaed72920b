// The written reports (W rows) of a log that a replay to a device sends,
// each with its place in the log, to name it when it is not sent.
#ifndef PINWORTH_EXPLORER_REPLAY_ROWS_H
#define PINWORTH_EXPLORER_REPLAY_ROWS_H

#include "core/runs/ReplayPlan.h"

#include <QList>
#include <QString>

class QWidget;

namespace explorer {

class LogTableModel;

struct ReplayRow {
  int number; // in the log, from 1
  core::WrittenReport report;
  QString model; // of the interface it was written to; empty if unknown
};

// The W rows among reports of log, in the order given.
QList<ReplayRow> WrittenRows(const LogTableModel &log,
                             const QList<int> &reports);
// Says over parent, in an alert, that no W row is selected to replay.
void AlertNoWrittenRows(QWidget *parent);

} // namespace explorer

#endif
