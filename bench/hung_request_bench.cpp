// The explorer's frame gap while a device does not answer: the longest time
// between two ticks of a 16 ms timer in the shown window's loop, while
// requests to a PinworthA's interface 0, which takes none, wait out their
// 50 ms bound (and the window's alert comes and is answered). Each request
// is made twice over: by the window (its Write, its poll), and by the
// library's synchronous call on the main thread, the way the window made it
// before; a click on a pin of the device area, a write, only by the window.
// Printed with the timer's 99th percentile.
//
//   hung_request_bench sim [requests per row, default 5]
//   LD_PRELOAD=libumockdev-preload.so.0 TMPDIR=/tmp hung_request_bench umockdev
// The test bed brings glib, whose headers must come before Qt's.
#include "tests/platform/hidraw/HidrawTestbed.h"

#include "bench/EventLoop.h"
#include "bench/TimerLateness.h"

#include "app/ExplorerProcess.h"
#include "app/PinworthWindowController.h"
#include "lib/PinworthLib.h"
#include "platform/PinworthUSBIDs.h"
#include "platform/hidraw/HidrawBackend.h"
#include "platform/simulated/SimBackend.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

// A PinworthA whose interface 0 can be made to take no request.
class Rig {
public:
  virtual ~Rig() = default;
  virtual void stall(bool stalled) = 0;
};

class SimRig : public Rig {
public:
  SimRig() {
    hid::SetBackend(&backend_);
    device_ = backend_.attach(hid::sim::Model::PinworthA, "1000");
  }
  ~SimRig() override {
    PinworthClearInterfaceList();
    hid::SetBackend(nullptr);
  }
  void stall(bool stalled) override {
    backend_.faults(device_, 0).stalled = stalled;
  }

private:
  hid::sim::SimBackend backend_;
  hid::sim::DeviceID device_ = 0;
};

class UmockdevRig : public Rig {
public:
  UmockdevRig() {
    testbed_.plugPinworth("1-4", pinworth::kUSBProductIDA, "1000");
    backend_ = std::make_unique<hid::hidraw::HidrawBackend>();
    hid::SetBackend(backend_.get());
  }
  ~UmockdevRig() override {
    PinworthClearInterfaceList();
    testbed_.answerHeldRequests();
    WaitForEvents(100);
    hid::SetBackend(nullptr);
  }
  // Unstalled, the node answers what it held: the request the handle gave
  // up on ends on its thread, and the next one waits in the device anew.
  void stall(bool stalled) override {
    FakeHidrawNode &interface0 = testbed_.node("1-4", 0);
    interface0.setStalled(stalled);
    if (!stalled)
      testbed_.answerHeldRequests();
  }

private:
  HidrawTestbed testbed_; // before the backend's udev monitor
  std::unique_ptr<hid::hidraw::HidrawBackend> backend_;
};

enum class Kind { Write, Pin, Poll };
enum class MadeBy { Library, Window };

// Closes every alert as soon as it is up, from inside its modal loop.
class AlertCloser {
public:
  AlertCloser() {
    QObject::connect(&poll_, &QTimer::timeout, [] {
      if (QWidget *modal = QApplication::activeModalWidget())
        modal->close();
    });
    poll_.start(5);
  }

private:
  QTimer poll_;
};

void MakeRequest(explorer::PinworthWindowController *window, Kind kind,
                 MadeBy by) {
  uint8_t bytes[4] = {1, 2, 3, 4};
  hid::DeviceInterface *interface0 = PinworthGetInterface(0, 0);
  if (by == MadeBy::Library && kind != Kind::Poll)
    PinworthWriteToInterface(interface0, 4, bytes);
  else if (by == MadeBy::Library)
    PinworthReadFromInterface(interface0, 0, 4, bytes);
  else if (kind == Kind::Write)
    window->doWrite(nullptr);
  else if (kind == Kind::Pin)
    window->mainWindow()->findChild<QToolButton *>("pin0Button")->click();
  else
    window->doRead(nullptr); // the first poll fails, and polling stops
}

void Run(Rig &rig, const char *backend, Kind kind, MadeBy by, int requests) {
  explorer::ExplorerProcess process;
  QMainWindow *window = process.newWindow();
  explorer::PinworthWindowController *controller =
      process.controllers().front();
  auto *menu = window->findChild<QComboBox *>("interfacePopup");
  menu->setCurrentIndex(0);
  controller->interfacePopupChanged(menu);
  for (int i = 0; i < 4; ++i)
    window->findChild<QLineEdit *>(QString("byte%1Field").arg(i))
        ->setText("0" + QString::number(i + 1));
  WaitForEvents(100);

  const AlertCloser closer;
  TimerLateness lateness;
  lateness.start();
  for (int i = 0; i < requests; ++i) {
    rig.stall(true);
    WaitForEvents(50);
    MakeRequest(controller, kind, by);
    RunEventsUntil([&] { return !controller->waitsForDevice(); }, 1000);
    WaitForEvents(100); // the alert, and the ticks after it
    rig.stall(false);
    WaitForEvents(100); // the late answer, taken
  }
  lateness.stop();
  std::printf("%-8s %-5s %-7s %8d %13.1f %7.1f\n", backend,
              kind == Kind::Write ? "write"
              : kind == Kind::Pin ? "pin"
                                  : "poll",
              by == MadeBy::Window ? "window" : "library", requests,
              TimerLateness::kPeriodMS + lateness.percentile(1.0),
              lateness.percentile(0.99));
  std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv) {
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
  qputenv("XDG_STATE_HOME", home.path().toUtf8());
  QApplication application(argc, argv);
  const std::string backend = argc > 1 ? argv[1] : "sim";
  const int requests = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  if (backend != "sim" && backend != "umockdev") {
    std::fprintf(stderr, "usage: hung_request_bench sim|umockdev [requests]\n");
    return 2;
  }
  std::unique_ptr<Rig> rig;
  if (backend == "sim")
    rig = std::make_unique<SimRig>();
  else
    rig = std::make_unique<UmockdevRig>();
  WaitForEvents(300); // the arrival, before the list is read
  std::printf("A request to a device that does not answer (%s)\n",
              qPrintable(QGuiApplication::platformName()));
  std::printf("%-8s %-5s %-7s %8s %13s %7s\n", "backend", "kind", "made by",
              "requests", "frame gap ms", "p99 ms");
  for (Kind kind : {Kind::Write, Kind::Pin, Kind::Poll})
    for (MadeBy by : {MadeBy::Library, MadeBy::Window})
      if (kind != Kind::Pin || by == MadeBy::Window)
        Run(*rig, backend.c_str(), kind, by, requests);
  return 0;
}
