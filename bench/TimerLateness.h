// How late a 16 ms timer on the calling thread's event loop fires: the
// benches' measure of whether the window stays responsive.
#ifndef PINWORTH_BENCH_TIMER_LATENESS_H
#define PINWORTH_BENCH_TIMER_LATENESS_H

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <vector>

class TimerLateness {
public:
  static constexpr int kPeriodMS = 16;

  TimerLateness() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      lateness_.push_back(
          std::max(0.0, double(sinceTick_.nsecsElapsed()) / 1e6 - kPeriodMS));
      sinceTick_.restart();
    });
  }

  void start() {
    sinceTick_.start();
    timer_.start(kPeriodMS);
  }
  void stop() { timer_.stop(); }

  // The p-quantile of the ticks' lateness in ms, p = 1 the worst; 0 before
  // any tick.
  double percentile(double p) const {
    if (lateness_.empty())
      return 0;
    std::vector<double> sorted = lateness_;
    std::sort(sorted.begin(), sorted.end());
    return sorted[size_t(p * double(sorted.size() - 1))];
  }

private:
  QTimer timer_;
  QElapsedTimer sinceTick_;
  std::vector<double> lateness_;
};

#endif
