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
// - scrolling to a random row, painting the table and reading the cells of
//   the 40 rows from it: p50 and p99 of 200;
// - for 10^7 rows, before the filter: Copy of 100,000 selected rows and
//   Export Log… of every row to CSV (in /tmp, removed), each its time and
//   longest hold.
// Then the in-memory log, as many rows as it keeps (2 * 10^6, less its
// memory-full marker): the same rows appended to a log that writes no
// capture, its heap and resident memory, and the same filter.
//
//   capture_window_bench
#include "bench/ResidentBytes.h"

#include "app/capture/CaptureWindow.h"
#include "app/log/LogFilter.h"
#include "app/log/LogPanel.h"
#include "app/log/LogTableModel.h"
#include "app/log/LogView.h"
#include "capture/CaptureWriter.h"
#include "core/interfaces/CaptureSources.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
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
constexpr core::InterfaceIdentity kSource{1, 1000, 0};

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
  const uint16_t source = writer->addInterface(core::CaptureEntry(kSource, {}));
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
std::pair<double, double> Filter(explorer::LogTableModel &log, uint64_t rows) {
  const uint64_t expected = (rows + 10) / 14; // i % 14 == 3
  QString error;
  HoldMeter hold;
  QElapsedTimer elapsed;
  elapsed.start();
  log.setFilter(explorer::LogFilter::Parse(u"W id:03", &error));
  RunUntil([&] { return uint64_t(log.rowCount()) >= expected; });
  return {double(elapsed.nsecsElapsed()) / 1e9, hold.longestMS()};
}

// Copies rows 0 to 99,999 and exports every row of window to CSV: a line
// with each one's seconds and longest hold.
QString CopyAndExport(explorer::CaptureWindow &window,
                      const std::string &path) {
  auto *view = window.findChild<explorer::LogView *>("logTable");
  explorer::LogTableModel *log = window.log();
  view->selectionModel()->select(
      QItemSelection(log->index(0, 0), log->index(99'999, 0)),
      QItemSelectionModel::Select | QItemSelectionModel::Rows);
  double copySeconds = 0, copyHeld = 0;
  {
    QGuiApplication::clipboard()->clear();
    HoldMeter hold;
    QElapsedTimer elapsed;
    elapsed.start();
    window.panel()->copySelectedRows();
    RunUntil([] { return !QGuiApplication::clipboard()->text().isEmpty(); });
    copySeconds = double(elapsed.nsecsElapsed()) / 1e9;
    copyHeld = hold.longestMS();
  }
  view->clearSelection();
  const QString csv = QString::fromStdString(path) + ".csv";
  HoldMeter hold;
  QElapsedTimer elapsed;
  elapsed.start();
  window.panel()->exportTo(csv);
  RunUntil([&] { return !window.panel()->exporting(); });
  const QString line = QString::asprintf(
      "%-8.0e copy of 1e+05 rows %.2f s, held %.1f ms; export to CSV (%.0f MB) "
      "%.1f s, held %.1f ms\n",
      double(log->rowCount()), copySeconds, copyHeld,
      double(QFileInfo(csv).size()) / 1e6, double(elapsed.nsecsElapsed()) / 1e9,
      hold.longestMS());
  QFile::remove(csv);
  return line;
}

void MeasureWindow(const std::string &path, uint64_t count) {
  if (!WriteCapture(path, count))
    return;
  const size_t heapBefore = HeapBytes(), residentBefore = ResidentBytes();
  QElapsedTimer elapsed;
  elapsed.start();
  QString reason;
  HoldMeter openHold;
  explorer::CaptureWindow *window =
      explorer::CaptureWindow::open(QString::fromStdString(path), &reason);
  if (!window) {
    std::fprintf(stderr, "capture_window_bench: %s\n", qPrintable(reason));
    return;
  }
  explorer::LogTableModel *log = window->log();
  RunUntil([&] { return log->rowCount() > 0; });
  const double firstRows = double(elapsed.nsecsElapsed()) / 1e9;
  const double allRows =
      firstRows + RunUntil([&] { return uint64_t(log->rowCount()) == count; });
  const double openHeld = openHold.longestMS();
  const size_t heap = HeapBytes() - heapBefore;
  const size_t resident = ResidentBytes() - residentBefore;

  std::vector<double> scrolls;
  auto *view = window->findChild<explorer::LogView *>("logTable");
  for (int n = 0; n < 200; ++n) {
    const int row = int(QRandomGenerator::global()->bounded(quint64(count)));
    QElapsedTimer scroll;
    scroll.start();
    view->scrollTo(log->index(row, 0), QAbstractItemView::PositionAtCenter);
    view->viewport()->repaint();
    // The cells of a page of rows, as a shown table paints them.
    for (int shown = row; shown < std::min(row + 40, log->rowCount()); ++shown)
      log->cellText(shown, explorer::LogTableModel::kFirstByteColumn);
    scrolls.push_back(double(scroll.nsecsElapsed()) / 1e6);
  }
  std::sort(scrolls.begin(), scrolls.end());
  const QString copyAndExport =
      count <= 10'000'000 ? CopyAndExport(*window, path) : QString();
  const auto [filterSeconds, filterHeld] = Filter(*log, count);
  std::printf("%-8.0e %-10s %9.1f %9.1f %8.3f %8.2f %8.1f %8.2f %8.1f %6.2f "
              "%6.2f\n",
              double(count), "window", MB(heap), MB(resident), firstRows,
              allRows, openHeld, filterSeconds, filterHeld, scrolls[100],
              scrolls[198]);
  std::printf("%s", qPrintable(copyAndExport));
  delete window;
  std::remove(path.c_str());
}

void MeasureMemoryLog(uint64_t count) {
  const size_t heapBefore = HeapBytes(), residentBefore = ResidentBytes();
  auto log = std::make_unique<explorer::LogTableModel>();
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
  std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as it is measured
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
  MeasureMemoryLog(explorer::LogTableModel::kMostRowsInMemory - 1);
  return 0;
}
