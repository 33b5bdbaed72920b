// Interrupt reports from a device's own thread to a handler on the main
// thread, through the library, printed per run:
// - reports/s offered, delivered, and lost (in the library's queue, which
//   counts them, and in the kernel's queue, which only the emulation sees);
// - the main thread's CPU per delivered report;
// - the 99th percentile and the worst lateness of a 16 ms timer on the main
//   thread.
// Runs at 1,000, 8,000 and 24,000 reports/s and flat out, each on an idle
// machine, with a request to the device's interface 0 that waits 50 ms for
// an answer that never comes, once a second, and with a busy loop on every
// core.
//
//   interrupt_bench sim [seconds per run, default 3]
//   LD_PRELOAD=libumockdev-preload.so.0 TMPDIR=/tmp interrupt_bench umockdev
// The test bed brings glib, whose headers must come before Qt's.
#include "tests/platform/hidraw/HidrawTestbed.h"

#include "bench/CpuHogs.h"
#include "bench/EventLoop.h"
#include "bench/ThreadCpu.h"
#include "bench/TimerLateness.h"
#include "lib/PinworthLib.h"
#include "platform/PinworthProtocol.h"
#include "platform/hidraw/HidrawBackend.h"
#include "platform/simulated/SimBackend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// One PinworthA, its interface 1 sending, its interface 0 the one a request
// hangs on.
class Rig {
public:
  virtual ~Rig() = default;
  // From the device's thread.
  virtual void send(uint32_t number) = 0;
  virtual uint64_t kernelDropped() = 0;
  // One request interface 0 never answers; the main thread waits 50 ms.
  virtual void hangOnce() = 0;
};

// An infrared report, one the interface declares, numbered n.
std::vector<uint8_t> Numbered(uint32_t n) {
  std::vector<uint8_t> report(8);
  report[0] = pinworth::kInfraredReport;
  std::memcpy(report.data() + 1, &n, sizeof n);
  return report;
}

class SimRig : public Rig {
public:
  SimRig() {
    hid::SetBackend(&backend_);
    PinworthInit();
    device_ = backend_.attach(hid::sim::Model::PinworthA, "1");
    WaitForEvents(10);
    backend_.faults(device_, 0).stalled = true;
  }
  ~SimRig() override {
    PinworthClearInterfaceList();
    WaitForEvents(10);
    hid::SetBackend(nullptr);
  }
  void send(uint32_t number) override {
    backend_.sendInputReport(device_, 1, Numbered(number));
  }
  uint64_t kernelDropped() override {
    return backend_.kernelDropped(device_, 1);
  }
  void hangOnce() override {
    uint8_t pins[4];
    PinworthReadFromInterface(PinworthGetInterface(0, 0), 0, 4, pins);
  }

private:
  hid::sim::SimBackend backend_;
  hid::sim::DeviceID device_ = 0;
};

class UmockdevRig : public Rig {
public:
  UmockdevRig() {
    hid::SetBackend(&backend_);
    PinworthInit();
    testbed_.plugPinworth("1-4", kPinworthAProductID, "1");
    WaitForEvents(300); // the arrival, before the list is read
    node_ = &testbed_.node("1-4", 1);
  }
  ~UmockdevRig() override {
    PinworthClearInterfaceList();
    testbed_.answerHeldRequests();
    WaitForEvents(100);
    hid::SetBackend(nullptr);
  }
  void send(uint32_t number) override {
    node_->sendInterruptReport(Numbered(number));
  }
  uint64_t kernelDropped() override { return node_->droppedReports(); }
  void hangOnce() override {
    FakeHidrawNode &interface0 = testbed_.node("1-4", 0);
    interface0.setStalled(true);
    uint8_t pins[4];
    PinworthReadFromInterface(PinworthGetInterface(0, 0), 0, 4, pins);
    // The device answers late; the next request hangs anew.
    interface0.answerHeldRequests();
    interface0.setStalled(false);
  }

private:
  HidrawTestbed testbed_; // before the backend's udev monitor
  hid::hidraw::HidrawBackend backend_;
  FakeHidrawNode *node_ = nullptr;
};

struct Counts {
  uint64_t delivered = 0;
  uint64_t lost = 0;
};

void Count(void *, hid::Status result, void *refcon, void *, uint32_t size) {
  auto *counts = static_cast<Counts *>(refcon);
  if (result == hid::kErrorOverrun)
    counts->lost += size;
  else
    counts->delivered++;
}

// Sends at rate reports a second (0: as fast as it can) for seconds.
uint64_t SendFor(Rig &rig, int rate, int seconds) {
  const Clock::time_point start = Clock::now();
  const Clock::time_point end = start + std::chrono::seconds(seconds);
  uint64_t sent = 0;
  while (Clock::now() < end) {
    if (rate > 0) {
      const Clock::time_point due =
          start + std::chrono::microseconds(sent * 1000000 / uint64_t(rate));
      if (due > Clock::now())
        std::this_thread::sleep_until(due);
    }
    rig.send(uint32_t(sent++));
  }
  return sent;
}

template <typename MakeRig>
void Run(const char *backend, MakeRig makeRig, int rate, bool hung, bool hogged,
         int seconds) {
  std::unique_ptr<Rig> rig = makeRig();
  Counts counts;
  uint8_t buffer[8];
  if (PinworthSetInterruptCallback(PinworthGetInterface(0, 1), buffer, 8, Count,
                                   &counts) != 0) {
    std::printf("%s: interface 1 could not be armed\n", backend);
    return;
  }

  TimerLateness lateness;
  QTimer hang;
  QObject::connect(&hang, &QTimer::timeout, [&] { rig->hangOnce(); });

  std::optional<CpuHogs> hogs;
  if (hogged)
    hogs.emplace();
  const double cpuBefore = ThreadCpuSeconds();
  std::atomic<uint64_t> sent = 0;
  std::atomic<bool> done = false;
  std::thread device([&] {
    sent = SendFor(*rig, rate, seconds);
    done = true;
  });
  lateness.start();
  if (hung)
    hang.start(1000);
  RunEventsUntil([&] { return bool(done); }, (seconds + 5) * 1000);
  device.join();
  hang.stop();
  // What is on its way still arrives.
  RunEventsUntil(
      [&] {
        return counts.delivered + counts.lost + rig->kernelDropped() >= sent;
      },
      3000);
  lateness.stop();
  const double cpu = ThreadCpuSeconds() - cpuBefore;
  hogs.reset();

  const double perSecond = 1.0 / seconds;
  std::printf("%-8s %-9s %-4s %-4s %9.0f %9.0f %8.0f %8.0f %9.1f %7.1f %7.1f\n",
              backend, rate ? std::to_string(rate).c_str() : "flat out",
              hung ? "yes" : "no", hogged ? "yes" : "no",
              double(sent) * perSecond, double(counts.delivered) * perSecond,
              double(counts.lost) * perSecond,
              double(rig->kernelDropped()) * perSecond,
              counts.delivered ? cpu * 1e6 / double(counts.delivered) : 0.0,
              lateness.percentile(0.99), lateness.percentile(1.0));
  std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const std::string backend = argc > 1 ? argv[1] : "sim";
  const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  if (backend != "sim" && backend != "umockdev") {
    std::fprintf(stderr, "usage: interrupt_bench sim|umockdev [seconds]\n");
    return 2;
  }
  std::printf("%-8s %-9s %-4s %-4s %9s %9s %8s %8s %9s %7s %7s\n", "backend",
              "offered", "hung", "hogs", "sent/s", "deliv/s", "lost/s",
              "kdrop/s", "cpu us/r", "p99 ms", "max ms");
  for (int rate : {1000, 8000, 24000, 0})
    for (const auto &[hung, hogged] :
         {std::pair{false, false}, std::pair{true, false},
          std::pair{false, true}}) {
      if (backend == "sim")
        Run(
            "sim", [] { return std::make_unique<SimRig>(); }, rate, hung,
            hogged, seconds);
      else
        Run(
            "umockdev", [] { return std::make_unique<UmockdevRig>(); }, rate,
            hung, hogged, seconds);
    }
  return 0;
}
