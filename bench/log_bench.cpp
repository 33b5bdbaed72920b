// The report log's costs, printed:
// - resident memory per row at 10^6 rows, the log model and its view
//   together (the process's resident set, so mmapped blocks count too);
// - the cost of an append at 10^6 rows against 10^3 rows: two shown views in
//   one process, appends alternated between them in blocks, each block
//   announced and painted;
// - the CPU per logged report, in the explorer's shown window, with a
//   simulated PinworthA's interface 1 sending 8,000 reports a second (or the
//   rate given) from a thread of its own, the window's capture written to a
//   temporary state folder (none when XDG_STATE_HOME names a folder that cannot
//   be made), and the lateness of a 16 ms timer in the same event loop, and how
//   many times a second the log's table was painted;
// - a filter over 10^6 rows, and an export of 10^6 rows to CSV.
//
//   log_bench [seconds of the run, default 5] [reports/s, default 8000]
#include "bench/PaintCounter.h"
#include "bench/ResidentBytes.h"
#include "bench/ThreadCpu.h"
#include "bench/TimerLateness.h"

#include "app/ExplorerProcess.h"
#include "app/PinworthWindowController.h"
#include "app/log/LogPanel.h"
#include "app/log/LogTableModel.h"
#include "app/log/LogView.h"

#include "platform/simulated/SimBackend.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kMillion = 1000000;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void Append(explorer::LogTableModel &log, int i) {
  const uint8_t bytes[7] = {uint8_t(i), 0x38, 1, 0x0f, 0, 0, uint8_t(i >> 8)};
  log.append(false, 5, 7, bytes, core::InterfaceIdentity{1, 1000, 0});
}

// A shown log view over its own model, sized like the explorer's.
struct ShownLog {
  explorer::LogTableModel log;
  explorer::LogView view;
  ShownLog() {
    view.setModel(&log);
    view.resize(900, 600);
    view.show();
  }
  void fill(int rows) {
    for (int i = 0; i < rows; ++i)
      Append(log, i);
    log.announce();
    QCoreApplication::processEvents();
  }
  // One block: appends, then the announcement and paint of a frame.
  void block(int appends) {
    for (int i = 0; i < appends; ++i)
      Append(log, i);
    log.announce();
    view.viewport()->repaint();
  }
};

// Counted from a shown, painted view: its window's backing store and fonts
// are not the rows'.
void MemoryPerRow() {
  ShownLog shown;
  shown.fill(1);
  const size_t before = ResidentBytes();
  shown.fill(kMillion);
  std::printf("memory per row at 10^6 rows, model and view: %.1f B\n",
              double(ResidentBytes() - before) / kMillion);
}

void AppendCostRatio() {
  ShownLog small, large;
  small.fill(1000);
  large.fill(kMillion);
  constexpr int kBlocks = 400, kPerBlock = 25;
  double seconds[2] = {};
  for (int b = 0; b < kBlocks; ++b)
    for (int which = 0; which < 2; ++which) {
      QElapsedTimer timer;
      timer.start();
      (which ? large : small).block(kPerBlock);
      seconds[which] += timer.nsecsElapsed() / 1e9;
    }
  std::printf("append cost at 10^6 rows / at 10^3 rows: %.3f (%.2f us vs "
              "%.2f us an append, announced and painted in blocks of %d)\n",
              seconds[1] / seconds[0], seconds[1] / (kBlocks * kPerBlock) * 1e6,
              seconds[0] / (kBlocks * kPerBlock) * 1e6, kPerBlock);
}

void ReportsAtRate(hid::sim::SimBackend &backend, int seconds, int rate) {
  const hid::sim::DeviceID device =
      backend.attach(hid::sim::Model::PinworthA, "1000");
  explorer::ExplorerProcess process;
  QMainWindow *window = process.newWindow();
  explorer::PinworthWindowController *controller =
      process.controllers().front();
  auto *menu = window->findChild<QComboBox *>("interfacePopup");
  menu->setCurrentIndex(1);
  controller->interfacePopupChanged(menu);
  controller->doRead(nullptr);
  QCoreApplication::processEvents();

  // The device, on a thread of its own: rate / 1000 reports a millisecond,
  // caught up from the clock when late.
  std::atomic<bool> sending = true;
  int sent = 0;
  const auto send = [&] {
    QElapsedTimer clock;
    clock.start();
    while (sending) {
      const int due = int(clock.elapsed() * rate / 1000);
      for (; sent < due; ++sent)
        backend.sendInputReport(device, 1,
                                {0x0c, 0x00, uint8_t(sent), 0, 0, 0, 0, 0});
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  };
  TimerLateness lateness;
  const PaintCounter paints(
      window->findChild<explorer::LogView *>("logTable")->viewport());
  const double cpuBefore = CpuSeconds();
  const double mainBefore = ThreadCpuSeconds();
  const int rowsBefore = controller->logModel()->reportCount();
  std::thread sender(send);
  lateness.start();
  QTimer::singleShot(seconds * 1000, &QCoreApplication::quit);
  QCoreApplication::exec();
  sending = false;
  sender.join();
  lateness.stop();
  const double cpu = CpuSeconds() - cpuBefore;
  const double mainCpu = ThreadCpuSeconds() - mainBefore;
  const int logged = controller->logModel()->reportCount() - rowsBefore;
  std::printf("%d reports/s for %d s in the shown window: %d sent, %llu "
              "dropped by the kernel's queue, %d logged, %.1f us CPU a logged "
              "report (%.1f us on the main "
              "thread), 16 ms timer late by %.1f ms at the 99th percentile "
              "(%.1f ms at worst), the log painted %.1f times a second\n",
              rate, seconds, sent,
              static_cast<unsigned long long>(backend.kernelDropped(device, 1)),
              logged, cpu / std::max(1, logged) * 1e6,
              mainCpu / std::max(1, logged) * 1e6, lateness.percentile(0.99),
              lateness.percentile(1.0), double(paints.paints()) / seconds);
  backend.detachAll();
}

void FilterAndExport() {
  ShownLog shown;
  shown.fill(kMillion);
  QElapsedTimer timer;
  timer.start();
  shown.log.setFilter(explorer::LogFilter::Parse(u"R id:05 ?? 07", nullptr));
  // The filter goes on a slice at a time until the rows shown stop growing.
  for (int before = -1; before != shown.log.rowCount();) {
    before = shown.log.rowCount();
    QCoreApplication::processEvents();
  }
  std::printf("filter over 10^6 rows: %.1f ms (%d shown)\n",
              timer.nsecsElapsed() / 1e6, shown.log.rowCount());
  shown.log.setFilter(std::nullopt);
  QTemporaryDir dir;
  QMainWindow window;
  QLineEdit filter;
  QPushButton exportButton;
  explorer::LogPanel panel(&shown.view, &shown.log, &filter, &exportButton,
                           &window);
  timer.restart();
  panel.exportTo(dir.filePath("log.csv"));
  while (panel.exporting())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  std::printf("export of 10^6 rows to CSV: %.2f s (%lld bytes)\n",
              timer.nsecsElapsed() / 1e9,
              QFile(dir.filePath("log.csv")).size());
}

} // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
  // XDG_STATE_HOME=/dev/null/none: no capture, the log in memory alone.
  if (qEnvironmentVariableIsEmpty("XDG_STATE_HOME"))
    qputenv("XDG_STATE_HOME", home.path().toUtf8());
  QApplication application(argc, argv);
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int rate = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 48000) : 8000;
  hid::sim::SimBackend backend;
  hid::SetBackend(&backend);
  std::printf("Report log (%s)\n", qPrintable(QGuiApplication::platformName()));
  MemoryPerRow();
  AppendCostRatio();
  ReportsAtRate(backend, seconds, rate);
  FilterAndExport();
  return 0;
}
