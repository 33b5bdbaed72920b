// The timing of a sequence of 1,000 reports at 1 ms intervals on a
// simulated PinworthA's interface 1, in the explorer's shown window (the
// lateness its sequence runner measures at each send) and in pinworth (its
// printed times, which run from the sequence's start): the p50, p99 and
// worst lateness of each send against its schedule, and the drift over the
// run in ms per second (the median lateness of the last 100 sends against
// the first 100's). The window's run also gives the lateness of a 16 ms
// timer beside it; then the window replays the rows its run logged, at
// their recorded gaps, measured against the replay's own schedule.
//
//   sequence_bench
#include "bench/EventLoop.h"
#include "bench/TimerLateness.h"

#include "app/ExplorerProcess.h"
#include "app/PinworthWindowController.h"
#include "core/runs/SequenceRunner.h"

#include "platform/simulated/SimBackend.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kReports = 1000;

// One step of 1 ms, run kReports times: a send every millisecond.
const QByteArray kPreferences =
    "{\"sequences\": [{\"name\": \"bench\", \"steps\": [[1, 5, \"01 80\"]], "
    "\"repeat\": " +
    QByteArray::number(kReports) + "}]}\n";

// lateMS: each send's lateness, in order.
void Print(const char *where, std::vector<double> lateMS) {
  if (lateMS.size() != size_t(kReports)) {
    std::printf("%-9s %zu of %d reports sent\n", where, lateMS.size(),
                kReports);
    return;
  }
  const auto median = [](std::vector<double> part) {
    std::nth_element(part.begin(), part.begin() + part.size() / 2, part.end());
    return part[part.size() / 2];
  };
  const double drift = (median({lateMS.end() - 100, lateMS.end()}) -
                        median({lateMS.begin(), lateMS.begin() + 100})) /
                       ((kReports - 100) / 1000.0);
  std::sort(lateMS.begin(), lateMS.end());
  std::printf(
      "%-9s %7.3f %7.3f %8.3f %11.3f\n", where, lateMS[lateMS.size() / 2],
      lateMS[size_t(0.99 * double(lateMS.size() - 1))], lateMS.back(), drift);
}

struct WindowRuns {
  std::vector<double> sequenceMS, replayMS; // each send's lateness, in order
};

// The sequence, then the replay of the rows it logged at their recorded
// gaps.
WindowRuns InTheWindow() {
  hid::sim::SimBackend backend;
  hid::SetBackend(&backend);
  backend.attach(hid::sim::Model::PinworthA, "1000");
  WindowRuns runs;
  {
    explorer::ExplorerProcess process;
    QMainWindow *window = process.newWindow();
    window->findChild<QComboBox *>("interfacePopup")->setCurrentIndex(1);
    // Shown and painted, as a window is by the time a user runs a sequence.
    WaitForEvents(300);
    const auto collect = [](QObject *from, std::vector<double> &lateMS) {
      QObject::connect(from->findChild<core::SequenceRunner *>(),
                       &core::SequenceRunner::stepSent,
                       [&lateMS](int, int, qint64 lateUS) {
                         lateMS.push_back(double(lateUS) / 1000);
                       });
    };
    auto *replay = window->findChild<QDialog *>("replayPanel");
    collect(window->findChild<QWidget *>("sequenceBar"), runs.sequenceMS);
    collect(replay, runs.replayMS);
    TimerLateness timer;
    timer.start();
    window->findChild<QPushButton *>("runSequenceButton")->click();
    auto *progress = window->findChild<QLabel *>("sequenceProgressLabel");
    RunEventsUntil([&] { return !progress->text().startsWith("Running"); },
                   60000);
    timer.stop();
    std::printf("(the window's 16 ms timer: p99 %.2f ms late, worst %.2f)\n",
                timer.percentile(0.99), timer.percentile(1));

    auto *log = window->findChild<QAbstractItemView *>("logTable");
    WaitForEvents(100); // the last rows, shown
    log->selectAll();
    for (QAction *action : log->actions())
      if (action->text().startsWith("&Replay"))
        action->trigger();
    replay->findChild<QPushButton *>("startReplayButton")->click();
    const auto *replayer = replay->findChild<core::SequenceRunner *>();
    RunEventsUntil([&] { return !replayer->isRunning(); }, 60000);
  }
  hid::SetBackend(nullptr);
  return runs;
}

std::vector<double> InPinworth() {
  QProcess pinworth;
  pinworth.start(PINWORTH_PATH,
                 {"--sim", "macro", "run", "bench", "--to", "A:1000:1"});
  pinworth.waitForFinished(60000);
  // Send k is due k + 1 ms from the start.
  std::vector<double> lateMS;
  for (const QByteArray &line : pinworth.readAllStandardOutput().split('\n'))
    if (!line.isEmpty())
      lateMS.push_back(line.simplified().split(' ').value(0).toDouble() * 1e3 -
                       double(lateMS.size() + 1));
  return lateMS;
}

} // namespace

int main(int argc, char **argv) {
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
  qputenv("XDG_STATE_HOME", home.path().toUtf8());
  QApplication application(argc, argv);
  QCoreApplication::setOrganizationName("Pinworth");
  QCoreApplication::setApplicationName("Pinworth Explorer");
  QDir().mkpath(home.path() + "/Pinworth/Pinworth Explorer");
  QFile file(core::UserDefaults::standardFilePath());
  if (!file.open(QIODevice::WriteOnly) || file.write(kPreferences) < 0)
    return 1;
  file.close();

  std::printf("%d reports at 1 ms intervals, simulated PinworthA interface "
              "1: lateness against the schedule\n",
              kReports);
  const WindowRuns window = InTheWindow();
  std::printf("%-9s %7s %7s %8s %11s\n", "where", "p50 ms", "p99 ms",
              "worst ms", "drift ms/s");
  Print("window", window.sequenceMS);
  Print("pinworth", InPinworth());
  Print("replay", window.replayMS);
  return 0;
}
