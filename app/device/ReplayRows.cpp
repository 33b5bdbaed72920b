#include "app/device/ReplayRows.h"

#include "app/framework/AlertPanel.h"
#include "app/log/LogTableModel.h"
#include "core/reports/ReportRecord.h"

namespace explorer {

QList<ReplayRow> WrittenRows(const LogTableModel &log,
                             const QList<int> &reports) {
  QList<ReplayRow> rows;
  for (int report : reports) {
    const core::ReportRecord record = log.record(report);
    if (record.direction != core::kReportDirectionOut)
      continue;
    const std::optional<core::InterfaceIdentity> source = log.source(report);
    rows.append({report + 1,
                 {log.time(report), record.reportID, record.data},
                 source ? source->modelName() : QString()});
  }
  return rows;
}

void AlertNoWrittenRows(QWidget *parent) {
  RunAlertPanel(parent, QStringLiteral("Nothing to replay"),
                QStringLiteral("Select the written reports (W rows) of the "
                               "log that the replay sends."));
}

} // namespace explorer
