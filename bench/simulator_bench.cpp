// The Device Simulator's report generator against the explorer's shown
// window, each device's interface 1 armed, printed per run:
// - reports sent, and how many a second all the run's generators sent
//   together, from the start to the last report; rows logged (reports, not the
//   rows that mark a loss), and lost: sent but never logged, of which the
//   kernel's queues dropped kdrop and the library's queue the rest;
// - the main thread's CPU per logged report, and how many times a second
//   the log's table was painted;
// - the 99th percentile and the worst lateness of a 16 ms timer in the
//   explorer's loop;
// - how far each logged report's time is from the time its device sent it
//   (the median, the 99th percentile and the worst, in us).
// Runs one device at 1,000, 8,000 and 24,000 reports/s (the most one
// interrupt endpoint carries), and two devices at 8,000/s and at 24,000/s
// each, every run on an idle machine and with a busy loop on every core,
// each with the generators' threads at normal and at real-time priority (rt:
// whether it was granted, as to root); then one device at 1,000/s and 24,000/s
// with the window busy: its main thread held 100 ms of every 116, as by a
// filter of a long log.
//
// "sent" leaves out the device's overrun: reports due while its thread was
// late, never sent.
//
//   simulator_bench [seconds per run, default 3]
#include "bench/CpuHogs.h"
#include "bench/EventLoop.h"
#include "bench/PaintCounter.h"
#include "bench/ThreadCpu.h"
#include "bench/TimerLateness.h"

#include "app/ExplorerProcess.h"
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

int ReportRows(const explorer::LogTableModel &log) {
  int rows = 0;
  for (int i = 0; i < log.reportCount(); ++i)
    rows += !log.record(i).data.isEmpty();
  return rows;
}

// When each report of a run was sent, by its sequence number (none for one
// the device overran); written by the generator's thread only, read once it
// has ended.
struct SendTimes {
  std::vector<hid::ReportTime> at;
  uint64_t last = 0;

  void sent(uint16_t sequence) {
    uint64_t number = (last & ~uint64_t(0xFFFF)) | sequence;
    if (number < last)
      number += 0x10000;
    last = number;
    if (number < at.size())
      at[number] = std::chrono::steady_clock::now();
  }
};

// Each logged report's time less its send time, in us, sorted. A report is
// told by its device and its 16-bit sequence number, counted on from the
// last report matched.
std::vector<int64_t> StampLateness(const explorer::LogTableModel &log,
                                   const std::vector<QString> &sources,
                                   const std::vector<SendTimes> &sent) {
  std::vector<int64_t> late;
  std::vector<size_t> next(sent.size(), 0);
  for (int i = 0; i < log.reportCount(); ++i) {
    const core::ReportRecord record = log.record(i);
    if (record.data.size() < 2)
      continue;
    const QString source =
        log.cellText(i, explorer::LogTableModel::kSourceColumn);
    const auto device = size_t(
        std::find(sources.begin(), sources.end(), source) - sources.begin());
    if (device == sources.size())
      continue;
    const uint16_t sequence =
        uint16_t(uint8_t(record.data[0]) << 8 | uint8_t(record.data[1]));
    const std::vector<hid::ReportTime> &at = sent[device].at;
    size_t &j = next[device];
    while (j < at.size() && uint16_t(j) != sequence)
      ++j;
    if (j == at.size())
      break;
    late.push_back(log.time(i) - log.timeUS(at[j++]));
  }
  std::sort(late.begin(), late.end());
  return late;
}

int64_t Percentile(const std::vector<int64_t> &sorted, double p) {
  if (sorted.empty())
    return 0;
  return sorted[std::min(sorted.size() - 1, size_t(p * double(sorted.size())))];
}

// Holds the main thread 100 ms of every 116 while it lives.
class BusyWindow {
public:
  BusyWindow() {
    timer_.setInterval(16);
    QObject::connect(&timer_, &QTimer::timeout, [] {
      QElapsedTimer held;
      held.start();
      while (held.elapsed() < 100) {
      }
    });
    timer_.start();
  }

private:
  QTimer timer_;
};

void Run(hid::sim::SimBackend &backend, int devices, int rate, int seconds,
         bool hogged, bool realTime, bool busy = false) {
  std::vector<hid::sim::DeviceID> ids;
  for (int d = 0; d < devices; ++d)
    ids.push_back(backend.attach(d ? hid::sim::Model::PinworthB
                                   : hid::sim::Model::PinworthA,
                                 std::to_string(1000 * (d + 1))));
  explorer::ExplorerProcess process;
  QMainWindow *window = process.newWindow();
  explorer::PinworthWindowController *controller =
      process.controllers().front();
  auto *menu = window->findChild<QComboBox *>("interfacePopup");
  for (int d = 0; d < devices; ++d) {
    menu->setCurrentIndex(2 * d + 1);
    controller->interfacePopupChanged(menu);
    controller->doRead(nullptr);
  }
  QCoreApplication::processEvents();

  TimerLateness lateness;
  const PaintCounter paints(
      window->findChild<explorer::LogView *>("logTable")->viewport());
  std::optional<CpuHogs> hogs;
  if (hogged)
    hogs.emplace();
  std::optional<BusyWindow> busyWindow;
  if (busy)
    busyWindow.emplace();
  std::vector<SendTimes> sendTimes(ids.size());
  std::vector<QString> sources;
  std::vector<std::unique_ptr<simulator::ReportGenerator>> generators;
  for (size_t d = 0; d < ids.size(); ++d) {
    SendTimes &times = sendTimes[d];
    times.at.resize(size_t(rate) * size_t(seconds));
    sources.push_back(d ? "B 2000 if1" : "A 1000 if1");
    generators.push_back(std::make_unique<simulator::ReportGenerator>(
        [&backend, &times, id = ids[d]](const std::vector<uint8_t> &report) {
          times.sent(uint16_t(report[1] << 8 | report[2]));
          backend.sendInputReport(id, 1, report);
        },
        [] {}));
  }
  lateness.start();
  const double mainBefore = ThreadCpuSeconds();
  const int paintsBefore = paints.paints();
  QElapsedTimer sending;
  sending.start();
  for (auto &generator : generators)
    generator->start(rate, uint64_t(rate) * uint64_t(seconds), realTime);
  RunEventsUntil(
      [&] {
        return std::none_of(generators.begin(), generators.end(),
                            [](const auto &g) { return g->running(); });
      },
      (seconds + 10) * 1000);
  const double sentSeconds = double(sending.nsecsElapsed()) / 1e9;
  const double fps = (paints.paints() - paintsBefore) / sentSeconds;
  lateness.stop();
  busyWindow.reset();
  hogs.reset();
  // What is on its way still arrives.
  backend.waitForKernelQueues();
  WaitForEvents(300);

  uint64_t sent = 0, overrun = 0, kernelDropped = 0;
  bool grantedRealTime = true;
  for (size_t d = 0; d < ids.size(); ++d) {
    sent += generators[d]->sent();
    overrun += generators[d]->overrun();
    grantedRealTime = grantedRealTime && generators[d]->realTime();
    kernelDropped += backend.kernelDropped(ids[d], 1);
  }
  const double mainCpu = ThreadCpuSeconds() - mainBefore;
  const uint64_t logged = uint64_t(ReportRows(*controller->logModel()));
  const uint64_t lost = sent - logged;
  const std::vector<int64_t> late =
      StampLateness(*controller->logModel(), sources, sendTimes);
  std::printf("%7d %6d/s %4s %3s %4s %9llu %7llu %8.0f %9llu %7llu %7llu "
              "%7llu %7.2f %5.1f %6.1f %6.1f %6lld %6lld %6lld\n",
              devices, rate, hogged ? "yes" : "no",
              grantedRealTime ? "yes" : "no", busy ? "yes" : "no",
              (unsigned long long)sent, (unsigned long long)overrun,
              double(sent) / sentSeconds, (unsigned long long)logged,
              (unsigned long long)lost, (unsigned long long)kernelDropped,
              (unsigned long long)(lost - std::min(lost, kernelDropped)),
              mainCpu / double(std::max<uint64_t>(1, logged)) * 1e6, fps,
              lateness.percentile(0.99), lateness.percentile(1.0),
              (long long)Percentile(late, 0.5),
              (long long)Percentile(late, 0.99),
              (long long)Percentile(late, 1.0));
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
  std::printf("%7s %8s %4s %3s %4s %9s %7s %8s %9s %7s %7s %7s %7s %5s %6s "
              "%6s %6s %6s %6s\n",
              "devices", "rate", "hogs", "rt", "busy", "sent", "overrun",
              "sent/s", "logged", "lost", "kdrop", "qdrop", "main us", "fps",
              "p99 ms", "max ms", "t50 us", "t99 us", "tmax");
  for (bool hogged : {false, true})
    for (bool realTime : {false, true}) {
      for (int rate : {1000, 8000, simulator::ReportGenerator::kMaxRate})
        Run(backend, 1, rate, seconds, hogged, realTime);
      for (int rate : {8000, simulator::ReportGenerator::kMaxRate})
        Run(backend, 2, rate, seconds, hogged, realTime);
    }
  for (int rate : {1000, int(simulator::ReportGenerator::kMaxRate)})
    Run(backend, 1, rate, seconds, false, false, true);
  return 0;
}
