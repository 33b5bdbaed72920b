// The explorer on simulated devices plays a window's log into the Device
// Simulator: "Replay Selection into Simulator" in the log's context menu
// takes the reports read (R rows) among the rows selected, those of the
// device of the first of them, and plays them into the device the Device
// Simulator shows, as a capture's replay does (CaptureReplayPanel).
#ifndef PINWORTH_EXPLORER_LOG_SELECTION_REPLAY_H
#define PINWORTH_EXPLORER_LOG_SELECTION_REPLAY_H

#include "sim_replay/RecordedDevice.h"

#include <QList>

#include <optional>

namespace simulator {
class SimulatorWindow;
} // namespace simulator

namespace explorer {

class ExplorerProcess;
class LogTableModel;

// What the reports among log's reports read of the device of the first
// report read; none when they read nothing.
std::optional<hid::sim::RecordedDevice>
RecordedReadsOf(const LogTableModel &log, const QList<int> &reports);

// Adds the action to the log of each of process's windows, those open and
// those to come; the simulator outlives the process's windows.
void AddLogSelectionReplay(ExplorerProcess &process,
                           simulator::SimulatorWindow &simulator);

} // namespace explorer

#endif
