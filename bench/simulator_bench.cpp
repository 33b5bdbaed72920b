// The Device Simulator's report generator against the explorer's shown
// window, each device's interface 1 armed, printed per run:
// - reports sent, and how many a second all the run's generators sent
//   together, from the start to the last report; rows logged (reports, not the
//   rows that mark a loss), and lost: sent but never logged, of which the
//   kernel's queues dropped kdrop and the library's queue the rest;
// - the main thread's CPU per logged report, and how many times a second
//   the log's table was painted;
// - the 99th percentile and the worst lateness of a 16 ms timer in the
//   explorer's loop.
// Runs one device at 1,000, 8,000 and 24,000 reports/s (the most one
// interrupt endpoint carries), and two devices at 8,000/s and at 24,000/s
// each, every run once on an idle machine and once with a busy loop on
// every core.
//
//   simulator_bench [seconds per run, default 3]
#include "bench/CpuHogs.h"
#include "bench/EventLoop.h"
#include "bench/PaintCounter.h"
#include "bench/ThreadCpu.h"
#include "bench/TimerLateness.h"

#include "app/ExplorerSession.h"
#include "app/PinworthWindowController.h"
#include "device_simulator/ReportGenerator.h"

#include "app/log/LogTableModel.h"
#include "app/log/LogView.h"
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
#include <optional>
#include <vector>

namespace {

int ReportRows(const LogTableModel &log) {
  int rows = 0;
  for (int i = 0; i < log.reportCount(); ++i)
    rows += !log.record(i).data.isEmpty();
  return rows;
}

void Run(hid::sim::SimBackend &backend, int devices, int rate, int seconds,
         bool hogged) {
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
  const PaintCounter paints(
      window->findChild<LogView *>("logTable")->viewport());
  std::optional<CpuHogs> hogs;
  if (hogged)
    hogs.emplace();
  std::vector<std::unique_ptr<ReportGenerator>> generators;
  for (hid::sim::DeviceID id : ids)
    generators.push_back(std::make_unique<ReportGenerator>(
        [&backend, id](const std::vector<uint8_t> &report) {
          backend.sendInputReport(id, 1, report);
        },
        [] {}));
  lateness.start();
  const double mainBefore = ThreadCpuSeconds();
  const int paintsBefore = paints.paints();
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
  const double fps = (paints.paints() - paintsBefore) / sentSeconds;
  lateness.stop();
  hogs.reset();
  // What is on its way still arrives.
  backend.waitForKernelQueues();
  WaitForEvents(300);

  uint64_t sent = 0, kernelDropped = 0;
  for (size_t d = 0; d < ids.size(); ++d) {
    sent += generators[d]->sent();
    kernelDropped += backend.kernelDropped(ids[d], 1);
  }
  const double mainCpu = ThreadCpuSeconds() - mainBefore;
  const uint64_t logged = uint64_t(ReportRows(*controller->logModel()));
  const uint64_t lost = sent - logged;
  std::printf("%7d %6d/s %4s %9llu %8.0f %9llu %7llu %7llu %7llu %7.2f %5.1f "
              "%6.1f %6.1f\n",
              devices, rate, hogged ? "yes" : "no", (unsigned long long)sent,
              double(sent) / sentSeconds, (unsigned long long)logged,
              (unsigned long long)lost, (unsigned long long)kernelDropped,
              (unsigned long long)(lost - std::min(lost, kernelDropped)),
              mainCpu / double(std::max<uint64_t>(1, logged)) * 1e6, fps,
              lateness.percentile(0.99), lateness.percentile(1.0));
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
  std::printf("%7s %8s %4s %9s %8s %9s %7s %7s %7s %7s %5s %6s %6s\n",
              "devices", "rate", "hogs", "sent", "sent/s", "logged", "lost",
              "kdrop", "qdrop", "main us", "fps", "p99 ms", "max ms");
  for (bool hogged : {false, true}) {
    for (int rate : {1000, 8000, ReportGenerator::kMaxRate})
      Run(backend, 1, rate, seconds, hogged);
    for (int rate : {8000, ReportGenerator::kMaxRate})
      Run(backend, 2, rate, seconds, hogged);
  }
  return 0;
}
