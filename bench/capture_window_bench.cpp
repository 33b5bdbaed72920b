// The log at length: a capture window, which reads its rows from the file,
// against the in-memory log, printed. For captures of 10^7 and 10^8 reports
// (written in /tmp by the bench and removed; 10^8 is skipped, saying so,
// with less than 6 GB free), in a shown capture window:
// - the heap and the resident memory the window adds once it has read every
//   row (the file's pages, which the kernel may drop, count as resident);
// - the time until it shows its first rows, until it has read every row,
//   and the longest the event loop was held meanwhile;
// - a filter ("W id:03") over every row: the time until it is done, and the
//   longest hold;
// - scrolling to a random row and painting the table: p50 and p99 of 200.
// Then the in-memory log, for 10^7 rows: the same rows appended to a log
// that writes no capture, its heap and resident memory, and the same filter.
//
//   capture_window_bench
#include "bench/ResidentBytes.h"

#include "app/capture/CaptureWindow.h"
#include "app/log/LogFilter.h"
#include "app/log/LogTableModel.h"
#include "app/log/LogView.h"
#include "core/CaptureSources.h"
#include "core/capture/CaptureWriter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <sys/statvfs.h>
#include <vector>

namespace {

constexpr uint64_t kNeededForLargest = 6ull << 30;
constexpr InterfaceIdentity kSource{1, 1000, 0};

size_t HeapBytes() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

double MB(size_t bytes) {
  return double(bytes) / 1e6;
}

// Row i: a report of ID i % 7, written when i is odd, i in its data.
void RowData(uint64_t i, uint8_t data[7]) {
  for (int byte = 0; byte < 7; ++byte)
    data[byte] = uint8_t(i >> (8 * byte));
}

bool WriteCapture(const std::string &path, uint64_t count) {
  std::string reason;
  auto writer = capture::CaptureWriter::create(path, &reason);
  if (!writer) {
    std::fprintf(stderr, "capture_window_bench: %s\n", reason.c_str());
    return false;
  }
  const uint16_t source = writer->addInterface(CaptureEntry(kSource, {}));
  uint8_t data[7];
  for (uint64_t i = 0; i < count; ++i) {
    RowData(i, data);
    writer->appendReport(i % 2, source, int64_t(i) * 125, uint8_t(i % 7), data,
                         7);
  }
  return !writer->close().failed;
}

// The longest the event loop went without running a 1 ms timer, in ms.
class HoldMeter {
public:
  HoldMeter() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      longest_ = std::max(longest_, double(since_.nsecsElapsed()) / 1e6);
      since_.restart();
    });
    since_.start();
    timer_.start(1);
  }
  double longestMS() const { return longest_; }

private:
  QTimer timer_;
  QElapsedTimer since_;
  double longest_ = 0;
};

// Runs the event loop until done() holds; returns the seconds it took.
template <typename Done> double RunUntil(Done done) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (!done())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return double(elapsed.nsecsElapsed()) / 1e9;
}

// Applies "W id:03" and runs until every row is filtered: the seconds and
// the longest hold.
std::pair<double, double> Filter(LogTableModel &log, uint64_t rows) {
  const uint64_t expected = (rows + 10) / 14; // i % 14 == 3
  QString error;
  HoldMeter hold;
  QElapsedTimer elapsed;
  elapsed.start();
  log.setFilter(LogFilter::Parse(u"W id:03", &error));
  RunUntil([&] { return uint64_t(log.rowCount()) >= expected; });
  return {double(elapsed.nsecsElapsed()) / 1e9, hold.longestMS()};
}

void MeasureWindow(const std::string &path, uint64_t count) {
  if (!WriteCapture(path, count))
    return;
  const size_t heapBefore = HeapBytes(), residentBefore = ResidentBytes();
  QElapsedTimer elapsed;
  elapsed.start();
  QString reason;
  HoldMeter openHold;
  CaptureWindow *window =
      CaptureWindow::open(QString::fromStdString(path), &reason);
  if (!window) {
    std::fprintf(stderr, "capture_window_bench: %s\n", qPrintable(reason));
    return;
  }
  LogTableModel *log = window->log();
  RunUntil([&] { return log->rowCount() > 0; });
  const double firstRows = double(elapsed.nsecsElapsed()) / 1e9;
  const double allRows =
      firstRows + RunUntil([&] { return uint64_t(log->rowCount()) == count; });
  const double openHeld = openHold.longestMS();
  const size_t heap = HeapBytes() - heapBefore;
  const size_t resident = ResidentBytes() - residentBefore;

  std::vector<double> scrolls;
  auto *view = window->findChild<LogView *>("logTable");
  for (int n = 0; n < 200; ++n) {
    const int row = int(QRandomGenerator::global()->bounded(quint64(count)));
    QElapsedTimer scroll;
    scroll.start();
    view->scrollTo(log->index(row, 0), QAbstractItemView::PositionAtCenter);
    view->viewport()->repaint();
    scrolls.push_back(double(scroll.nsecsElapsed()) / 1e6);
  }
  std::sort(scrolls.begin(), scrolls.end());
  const auto [filterSeconds, filterHeld] = Filter(*log, count);
  std::printf("%-8.0e %-10s %9.1f %9.1f %8.3f %8.2f %8.1f %8.2f %8.1f %6.2f "
              "%6.2f\n",
              double(count), "window", MB(heap), MB(resident), firstRows,
              allRows, openHeld, filterSeconds, filterHeld, scrolls[100],
              scrolls[198]);
  delete window;
  std::remove(path.c_str());
}

void MeasureMemoryLog(uint64_t count) {
  const size_t heapBefore = HeapBytes(), residentBefore = ResidentBytes();
  auto log = std::make_unique<LogTableModel>();
  uint8_t data[7];
  for (uint64_t i = 0; i < count; ++i) {
    RowData(i, data);
    log->append(i % 2, int32_t(i % 7), 7, data, kSource);
  }
  log->announce();
  const size_t heap = HeapBytes() - heapBefore;
  const size_t resident = ResidentBytes() - residentBefore;
  const auto [filterSeconds, filterHeld] = Filter(*log, count);
  std::printf("%-8.0e %-10s %9.1f %9.1f %8s %8s %8s %8.2f %8.1f %6s %6s\n",
              double(count), "in memory", MB(heap), MB(resident), "-", "-", "-",
              filterSeconds, filterHeld, "-", "-");
}

uint64_t FreeBytes(const char *folder) {
  struct statvfs info {};
  return ::statvfs(folder, &info) == 0 ? uint64_t(info.f_bavail) * info.f_frsize
                                       : 0;
}

} // namespace

int main(int argc, char **argv) {
  QApplication application(argc, argv);
  const std::string path = "/tmp/capture_window_bench.pwcap";
  std::printf("Capture window (%s); times in s, holds and scrolls in ms\n",
              qPrintable(QGuiApplication::platformName()));
  std::printf("%-8s %-10s %9s %9s %8s %8s %8s %8s %8s %6s %6s\n", "rows", "log",
              "heap MB", "RSS MB", "first", "all", "held", "filter", "held",
              "p50", "p99");
  MeasureWindow(path, 10'000'000);
  if (FreeBytes("/tmp") < kNeededForLargest)
    std::printf("1e+08: skipped, less than 6 GB free in /tmp\n");
  else
    MeasureWindow(path, 100'000'000);
  MeasureMemoryLog(10'000'000);
  return 0;
}
