// The pin timeline's costs, printed:
// - building the summary of a synthetic capture of 10^7 interface 0 reports
//   (alternately written and read, 100 us apart, pin p changing every
//   2^(p % 12) reports, so that every report changes a pin);
// - drawing the whole view (32 pins, 1600 pixels wide) over that capture at
//   10 zooms, from the whole capture to 1/4^9 of it, p50 and p99 of 20 draws
//   each;
// - the main thread's CPU per logged report that the timeline adds: the
//   same 10^6 reports appended and announced to a log with a shown timeline
//   and to one without.
//
//   timeline_bench
#include "bench/ThreadCpu.h"

#include "app/log/LogTableModel.h"
#include "app/log/LogView.h"
#include "app/timeline/PinHistory.h"
#include "app/timeline/PinTimeline.h"
#include "app/timeline/PinTimelineView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kCaptureReports = 10'000'000;
constexpr int64_t kReportGapUS = 100;

uint32_t PinsOfReport(int i) {
  uint32_t pins = 0;
  for (int pin = 0; pin < 32; ++pin)
    pins |= uint32_t((i >> (pin % 12)) & 1) << pin;
  return pins;
}

double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1,
                         size_t(fraction * double(values.size())))];
}

// Appends count reports of interface 0 to log, announcing every 1,000, and
// lets the event loop run; returns the main thread's CPU seconds.
double Log(explorer::LogTableModel &log, int count) {
  const core::InterfaceIdentity source{0, 1000, 0};
  const double start = ThreadCpuSeconds();
  for (int i = 0; i < count; ++i) {
    const uint32_t pins = PinsOfReport(i);
    log.append(i % 2 == 0, core::kNoReportID, 4,
               reinterpret_cast<const uint8_t *>(&pins), source);
    if (i % 1000 == 999) {
      log.announce();
      QCoreApplication::processEvents();
    }
  }
  return ThreadCpuSeconds() - start;
}

} // namespace

int main(int argc, char **argv) {
  QApplication application(argc, argv);

  explorer::PinHistory history;
  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < kCaptureReports; ++i)
    history.add(i % 2 ? explorer::PinHistory::Trace::Level
                      : explorer::PinHistory::Trace::Latch,
                i * kReportGapUS, PinsOfReport(i / 2), i);
  const double buildMS = double(timer.nsecsElapsed()) / 1e6;
  std::printf("summary of %d reports: built in %.0f ms, %.1f ns a report; "
              "%zu + %zu changes kept\n",
              kCaptureReports, buildMS, buildMS * 1e6 / kCaptureReports,
              history.changeCount(explorer::PinHistory::Trace::Latch),
              history.changeCount(explorer::PinHistory::Trace::Level));

  explorer::PinTimelineView view(history);
  view.resize(1600, view.sizeHint().height());
  QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
  view.fit();
  std::printf("\n%-12s %14s %10s %10s\n", "zoom", "us/pixel", "p50 ms",
              "p99 ms");
  for (int level = 0; level < 10; ++level) {
    std::vector<double> draws;
    for (int n = 0; n < 20; ++n) {
      timer.start();
      view.render(&image);
      draws.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf(
        "%-12s %14.1f %10.2f %10.2f\n",
        level ? qPrintable(QStringLiteral("1/4^%1").arg(level)) : "whole",
        view.usPerPixel(), Percentile(draws, 0.5), Percentile(draws, 0.99));
    view.zoom(4, view.width() / 2);
  }

  constexpr int kLogged = 1'000'000;
  explorer::LogTableModel plain, followed;
  explorer::LogView plainView, followedView;
  plainView.setModel(&plain);
  followedView.setModel(&followed);
  explorer::PinTimeline timeline(followed, followedView);
  plainView.show();
  followedView.show();
  timeline.show();
  const double without = Log(plain, kLogged);
  const double with = Log(followed, kLogged);
  while (!timeline.caughtUp())
    QCoreApplication::processEvents();
  std::printf(
      "\nmain-thread CPU a logged report: %.3f us without the "
      "timeline, %.3f us with it: %.3f us added (%zu + %zu changes)\n",
      without * 1e6 / kLogged, with * 1e6 / kLogged,
      (with - without) * 1e6 / kLogged,
      timeline.history().changeCount(explorer::PinHistory::Trace::Latch),
      timeline.history().changeCount(explorer::PinHistory::Trace::Level));
  return 0;
}
