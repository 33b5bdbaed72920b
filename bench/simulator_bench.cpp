// The Device Simulator's report generator against the explorer's shown
// window, each device's interface 1 armed, printed per run:
// - reports sent, and how many a second all the run's generators sent
//   together, from the start to the last report; rows logged (reports, not the
//   rows that mark a loss), and lost: sent but never logged, of which the
//   kernel's queues dropped kdrop;
// - the 99th percentile and the worst lateness of a 16 ms timer in the
//   explorer's loop.
// Runs one device at 1,000, 8,000 and 24,000 reports/s (the most one
// interrupt endpoint carries), and two devices at 8,000/s and at 24,000/s
// each.
//
//   simulator_bench [seconds per run, default 3]
#include "bench/EventLoop.h"
#include "bench/TimerLateness.h"

#include "app/ExplorerSession.h"
#include "app/PinworthWindowController.h"
#include "device_simulator/ReportGenerator.h"

#include "app/log/LogTableModel.h"
#include "platform/simulated/SimBackend.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

int ReportRows(const LogTableModel &log) {
  int rows = 0;
  for (int i = 0; i < log.reportCount(); ++i)
    rows += !log.record(i).data.isEmpty();
  return rows;
}

void Run(hid::sim::SimBackend &backend, int devices, int rate, int seconds) {
  std::vector<hid::sim::DeviceID> ids;
  for (int d = 0; d < devices; ++d)
    ids.push_back(backend.attach(d ? hid::sim::Model::PinworthB
                                   : hid::sim::Model::PinworthA,
                                 std::to_string(1000 * (d + 1))));
  ExplorerSession session;
  QMainWindow *window = session.newWindow();
  PinworthWindowController *controller = session.controllers().front();
  auto *menu = window->findChild<QComboBox *>("interfacePopup");
  for (int d = 0; d < devices; ++d) {
    menu->setCurrentIndex(2 * d + 1);
    controller->interfacePopupChanged(menu);
    controller->doRead(nullptr);
  }
  QCoreApplication::processEvents();

  TimerLateness lateness;
  std::vector<std::unique_ptr<ReportGenerator>> generators;
  for (hid::sim::DeviceID id : ids)
    generators.push_back(std::make_unique<ReportGenerator>(
        [&backend, id](const std::vector<uint8_t> &report) {
          backend.sendInputReport(id, 1, report);
        },
        [] {}));
  lateness.start();
  QElapsedTimer sending;
  sending.start();
  for (auto &generator : generators)
    generator->start(rate, uint64_t(rate) * uint64_t(seconds));
  RunEventsUntil(
      [&] {
        return std::none_of(generators.begin(), generators.end(),
                            [](const auto &g) { return g->running(); });
      },
      (seconds + 10) * 1000);
  const double sentSeconds = double(sending.nsecsElapsed()) / 1e9;
  lateness.stop();
  // What is on its way still arrives.
  backend.waitForKernelQueues();
  WaitForEvents(300);

  uint64_t sent = 0, kernelDropped = 0;
  for (size_t d = 0; d < ids.size(); ++d) {
    sent += generators[d]->sent();
    kernelDropped += backend.kernelDropped(ids[d], 1);
  }
  const uint64_t logged = uint64_t(ReportRows(*controller->logModel()));
  std::printf("%7d %6d/s %9llu %8.0f %9llu %8llu %8llu %7.1f %7.1f\n", devices,
              rate, (unsigned long long)sent, double(sent) / sentSeconds,
              (unsigned long long)logged, (unsigned long long)(sent - logged),
              (unsigned long long)kernelDropped, lateness.percentile(0.99),
              lateness.percentile(1.0));
  std::fflush(stdout);
  generators.clear();
  backend.detachAll();
  QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char **argv) {
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
  QApplication application(argc, argv);
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  hid::sim::SimBackend backend;
  hid::SetBackend(&backend);
  std::printf("Report generator against the shown explorer (%s), %d s a run\n",
              qPrintable(QGuiApplication::platformName()), seconds);
  std::printf("%7s %8s %9s %8s %9s %8s %8s %7s %7s\n", "devices", "rate",
              "sent", "sent/s", "logged", "lost", "kdrop", "p99 ms", "max ms");
  for (int rate : {1000, 8000, ReportGenerator::kMaxRate})
    Run(backend, 1, rate, seconds);
  for (int rate : {8000, ReportGenerator::kMaxRate})
    Run(backend, 2, rate, seconds);
  return 0;
}
