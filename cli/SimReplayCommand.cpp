// replay FILE under --sim without --to: the capture played into the
// simulated device of its first device's model (the PinworthA "1000" or the
// PinworthB "2000"), which then sends the recorded interface 1 reports and
// reads the recorded levels (see sim_replay/SimReplay.h). pinworth
// listens to its interface 1 and polls its interface 0, printing what it
// reads as listen and read --changes print it, until the replay ends.
#include "cli/CaptureInterfaces.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "cli/ReportListener.h"
#include "cli/StopRequests.h"

#include "capture/CaptureReader.h"
#include "core/interfaces/InterfacePoller.h"
#include "core/reports/ReportRecord.h"
#include "lib/PinworthLib.h"
#include "platform/PinworthProtocol.h"
#include "sim_replay/RecordedDevice.h"
#include "sim_replay/SimReplay.h"

#include <QTimer>

#include <cstdio>

namespace cli {

namespace {

constexpr int kCheckMS = 10;   // how often the replay's end is looked for
constexpr int kSettleMS = 100; // the last reports' way to pinworth

std::optional<ListedInterface> Interface(hid::sim::Model model, int number) {
  core::InterfaceIdentity identity;
  identity.interfaceType =
      (model == hid::sim::Model::PinworthA ? kPinworthAInterface0
                                           : kPinworthBInterface0) +
      number;
  identity.serialNumber = model == hid::sim::Model::PinworthA ? 1000 : 2000;
  return FindInterface({std::nullopt, identity});
}

} // namespace

int ReplayIntoSimulator(const Invocation &invocation,
                        hid::sim::SimBackend &backend,
                        hid::sim::DeviceID deviceA,
                        hid::sim::DeviceID deviceB) {
  const std::unique_ptr<capture::CaptureReader> reader =
      OpenCapture(invocation.file, invocation.file);
  if (!reader)
    return kExitBadArguments;
  std::optional<hid::sim::RecordedDevice> recorded =
      hid::sim::RecordedReads(*reader);
  if (!recorded) {
    PrintError(QStringLiteral("%1 holds no report read from a device")
                   .arg(invocation.file));
    return kExitBadArguments;
  }
  const std::optional<ListedInterface> pins = Interface(recorded->model, 0);
  const std::optional<ListedInterface> reports = Interface(recorded->model, 1);
  if (!pins || !reports)
    return kExitNoSuchInterface;
  ReportPrinter printer(invocation.json);
  ReportListener listener(*reports, printer);
  if (!listener.arm())
    return kExitTransferFailed;
  QEventLoop loop;
  std::optional<QByteArray> lastLevels;
  bool settled = false; // the replay ended, and its last reports came
  core::InterfacePoller poller(
      [&] {
        return core::InterfacePoller::Target{
            pins->handle, pins->identity, int(pinworth::kInterface0ReportSize)};
      },
      [&](const core::InterfaceIdentity &source, int32_t status,
          const std::vector<uint8_t> &levels, hid::ReportTime) {
        const QByteArray value(reinterpret_cast<const char *>(levels.data()),
                               qsizetype(levels.size()));
        if (status == hid::kSuccess && value != lastLevels) {
          lastLevels = value;
          printer.print(false, core::kNoReportID, levels.data(),
                        int(levels.size()), source);
        }
        if (settled)
          loop.exit(kExitSuccess);
      });
  const size_t total = recorded->reports.size();
  const QString device = QStringLiteral("%1 (SN %2)")
                             .arg(pins->identity.modelName())
                             .arg(pins->identity.serialNumber);
  std::fprintf(stderr, "Replaying %s into %s; Ctrl+C stops.\n",
               invocation.file.toLocal8Bit().constData(),
               device.toLocal8Bit().constData());
  std::fflush(stderr);
  hid::sim::SimReplay replay(
      backend,
      recorded->model == hid::sim::Model::PinworthA ? deviceA : deviceB,
      std::move(recorded->reports), invocation.replaySpeed);
  QTimer checks;
  QObject::connect(&checks, &QTimer::timeout, &loop, [&] {
    if (!replay.progress().finished)
      return;
    checks.stop();
    // The levels after the last report are those of the next answer.
    QTimer::singleShot(kSettleMS, &loop, [&] {
      settled = true;
      poller.poll();
    });
  });
  // The first poll a period after the replay starts, which has set the
  // levels of its first rows by then, and not the device's own.
  QTimer::singleShot(pinworth::kPollPeriodMS, &loop, [&] { poller.start(); });
  checks.start(kCheckMS);
  const int status = RunUntilDone(loop, std::nullopt, kExitSuccess);
  if (status == kExitSuccess)
    std::fprintf(stderr, "Replayed the %zu reports read in %s.\n", total,
                 invocation.file.toLocal8Bit().constData());
  return status;
}

} // namespace cli
