// A capture's replay into a simulated device, printed: how late the replay's
// thread sends each recorded interface 1 report against its schedule, at
// 1,000 and 8,000 reports a second (p50, p99, worst), for a run of the
// given seconds each.
//
//   sim_replay_bench [seconds, default 3]
#include "platform/simulated/SimBackend.h"
#include "sim_replay/SimReplay.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace hid::sim;

int main(int argc, char **argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  SimBackend backend;
  const DeviceID device = backend.attach(Model::PinworthA, "1000");
  std::printf("%-10s %8s %10s %10s %10s\n", "reports/s", "reports", "p50 us",
              "p99 us", "worst us");
  for (int rate : {1000, 8000}) {
    std::vector<SimReplay::Report> reports;
    const int count = rate * seconds;
    for (int i = 0; i < count; ++i)
      reports.push_back({int64_t(i) * 1'000'000 / rate,
                         1,
                         {0x0C, 0x00, uint8_t(i), 0, 0, 0, 0, 0}});
    SimReplay replay(backend, device, std::move(reports));
    while (!replay.progress().finished)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::vector<int64_t> late = replay.latenesses();
    std::sort(late.begin(), late.end());
    const auto at = [&late](double fraction) {
      return late[std::min(late.size() - 1, size_t(fraction * late.size()))];
    };
    std::printf("%-10d %8zu %10lld %10lld %10lld\n", rate, late.size(),
                (long long)at(0.5), (long long)at(0.99),
                (long long)late.back());
  }
  return 0;
}
