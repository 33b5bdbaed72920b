#include "app/sim/LogSelectionReplay.h"

#include "app/ExplorerProcess.h"
#include "app/PinworthWindowController.h"
#include "app/framework/AlertPanel.h"
#include "app/log/LogPanel.h"
#include "app/log/LogTableModel.h"
#include "app/log/LogView.h"
#include "core/reports/ReportRecord.h"
#include "device_simulator/CaptureReplayPanel.h"
#include "device_simulator/SimulatorWindow.h"

#include <QAction>
#include <QMainWindow>

namespace explorer {

std::optional<hid::sim::RecordedDevice>
RecordedReadsOf(const LogTableModel &log, const QList<int> &reports) {
  hid::sim::RecordedReadsBuilder builder;
  // On the clock of the log's Time column: since its first row.
  for (int report : reports) {
    if (!log.isReport(report))
      continue;
    const core::ReportRecord record = log.record(report);
    const std::optional<core::InterfaceIdentity> source = log.source(report);
    if (record.direction != core::kReportDirectionIn || !source)
      continue;
    std::vector<uint8_t> bytes;
    if (record.reportID != core::kNoReportID)
      bytes.push_back(uint8_t(record.reportID));
    bytes.insert(bytes.end(), record.data.begin(), record.data.end());
    builder.add(source->interfaceType, source->serialNumber, source->occurrence,
                log.time(report) - log.time(0), std::move(bytes));
  }
  return std::move(builder).take();
}

namespace {

void ReplaySelection(PinworthWindowController &window,
                     simulator::SimulatorWindow &simulator) {
  simulator::CaptureReplayPanel &panel = *simulator.replay();
  std::optional<hid::sim::RecordedDevice> recorded =
      RecordedReadsOf(*window.logModel(), window.logPanel()->selectedReports());
  if (!recorded)
    return RunAlertPanel(window.mainWindow(),
                         QStringLiteral("Nothing to replay"),
                         QStringLiteral("Select the reports read (R rows) of "
                                        "the log that the simulated device "
                                        "replays."));
  if (!panel.device())
    return RunAlertPanel(window.mainWindow(),
                         QStringLiteral("No simulated device to replay into"),
                         QStringLiteral("Select a device in the Device "
                                        "Simulator's list."));
  const size_t count = recorded->reports.size();
  panel.play(count == 1
                 ? QStringLiteral("the log's selected row")
                 : QStringLiteral("the log's %1 selected rows").arg(count),
             std::move(*recorded), *panel.device());
  simulator.show();
  simulator.raise();
}

void AddAction(PinworthWindowController &window,
               simulator::SimulatorWindow &simulator) {
  auto *replay = new QAction(QStringLiteral("Replay Selection into Si&mulator"),
                             window.logView());
  QObject::connect(
      replay, &QAction::triggered, window.logView(),
      [&window, &simulator] { ReplaySelection(window, simulator); });
  window.logView()->addAction(replay);
}

} // namespace

void AddLogSelectionReplay(ExplorerProcess &process,
                           simulator::SimulatorWindow &simulator) {
  for (PinworthWindowController *window : process.controllers())
    AddAction(*window, simulator);
  QObject::connect(&process, &ExplorerProcess::windowOpened, &simulator,
                   [&simulator](PinworthWindowController *window) {
                     AddAction(*window, simulator);
                   });
}

} // namespace explorer
