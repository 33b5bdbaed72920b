// The report log's cost at a thousand and at a million rows.
//
// For each size the bench wakes the real explorer window (offscreen, no
// device), fills its log to that many rows, then appends reports one per
// event-loop turn, as polling does, each turn announcing the row, scrolling
// to it and repainting. It prints appends per second, the heap bytes each row
// costs (the log model alone, and the model with the window's table view),
// and how much one append costs at a million rows against a thousand.
//
//   log_bench [timed appends per run, default 2000]
#include "MainWindowResource.h"
#include "PinworthWindowController.h"

#include "platform/sim/SimBackend.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QWindow>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kFillChunk = 10000; // rows announced per turn while filling
constexpr int kRuns = 3;

size_t heapInUse() {
  return mallinfo2().uordblks;
}

void appendReport(PinworthWindowController *controller, int i) {
  const uint8_t bytes[7] = {static_cast<uint8_t>(i),     0x38, 1, 0x0f, 0, 0,
                            static_cast<uint8_t>(i >> 8)};
  controller->addLogEntryWithDirection(kReportDirectionIn, 5, 7, bytes);
}

struct Figures {
  double appendsPerSecond = 0;
  double bytesPerRowWithView = 0;
};

// One run: a fresh window whose log holds rows, then timedAppends appends.
Figures measure(int rows, int timedAppends) {
  MainWindowResource resource;
  PinworthWindowController *controller = resource.controller();
  controller->awakeFromNib();
  resource.window()->show();
  QElapsedTimer waited;
  waited.start();
  while (!resource.window()->windowHandle()->isExposed() &&
         waited.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  if (!resource.window()->windowHandle()->isExposed())
    std::fprintf(stderr, "warning: the window was not exposed\n");
  QCoreApplication::processEvents();

  const size_t heapBefore = heapInUse();
  for (int i = 0; i < rows; ++i) {
    appendReport(controller, i);
    if ((i + 1) % kFillChunk == 0)
      QCoreApplication::processEvents();
  }
  QCoreApplication::processEvents();
  Figures figures;
  figures.bytesPerRowWithView =
      static_cast<double>(heapInUse() - heapBefore) / rows;

  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < timedAppends; ++i) {
    appendReport(controller, i);
    QCoreApplication::processEvents();
  }
  const std::chrono::duration<double> elapsed =
      std::chrono::steady_clock::now() - start;
  figures.appendsPerSecond = timedAppends / elapsed.count();
  if (controller->logModel()->rowCount() != rows + timedAppends)
    std::fprintf(stderr, "error: the table shows %d rows, expected %d\n",
                 controller->logModel()->rowCount(), rows + timedAppends);
  return figures;
}

// Heap bytes per row of the log model with no view attached.
double modelBytesPerRow(int rows) {
  QCoreApplication::processEvents();
  const size_t heapBefore = heapInUse();
  LogTableModel log;
  const uint8_t bytes[7] = {1, 2, 3, 4, 5, 6, 7};
  for (int i = 0; i < rows; ++i)
    log.append(false, 5, 7, bytes);
  return static_cast<double>(heapInUse() - heapBefore) / rows;
}

// The median run's appends per second; heap figures are alike in every run.
Figures measureRuns(int rows, int timedAppends) {
  std::vector<Figures> runs;
  for (int run = 0; run < kRuns; ++run)
    runs.push_back(measure(rows, timedAppends));
  std::sort(runs.begin(), runs.end(), [](const Figures &a, const Figures &b) {
    return a.appendsPerSecond < b.appendsPerSecond;
  });
  return runs[kRuns / 2];
}

} // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const int timedAppends = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
  hid::sim::SimBackend backend;
  hid::SetBackend(&backend);

  std::printf("Report log with the explorer window's table view (%s), "
              "%d timed appends per run, one per event-loop turn, median of "
              "%d runs\n",
              qPrintable(QGuiApplication::platformName()), timedAppends, kRuns);
  std::printf("%9s %12s %11s %22s %16s\n", "rows", "appends/s", "us/append",
              "bytes/row model+view", "bytes/row model");
  const int sizes[2] = {1000, 1000000};
  // The model alone first, on a heap that no window has used yet.
  const double modelBytes[2] = {modelBytesPerRow(sizes[0]),
                                modelBytesPerRow(sizes[1])};
  double microsecondsPerAppend[2] = {};
  for (int i = 0; i < 2; ++i) {
    const Figures figures = measureRuns(sizes[i], timedAppends);
    microsecondsPerAppend[i] = 1e6 / figures.appendsPerSecond;
    std::printf("%9d %12.0f %11.1f %22.1f %16.1f\n", sizes[i],
                figures.appendsPerSecond, microsecondsPerAppend[i],
                figures.bytesPerRowWithView, modelBytes[i]);
  }
  std::printf("cost of one append at %d rows / at %d rows: %.2f\n", sizes[1],
              sizes[0], microsecondsPerAppend[1] / microsecondsPerAppend[0]);
  return 0;
}
