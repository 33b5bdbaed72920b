// record: several interfaces at once into one capture, on one time base:
// interfaces 1 by interrupt, interfaces 0 polled 20 times a second as read
// polls them. Ends at the count, the timeout or Ctrl+C, when every device
// is unplugged, or when the file can no longer be written; the answers to
// its last polls, already on the bus, are recorded before it ends.
#include "cli/CaptureInterfaces.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "cli/PriorityRefusalNotice.h"
#include "cli/StopRequests.h"

#include "capture/CaptureWriter.h"
#include "core/interfaces/InterfaceInfo.h"
#include "core/interfaces/InterfaceListeners.h"
#include "core/interfaces/InterfacePoller.h"
#include "lib/PinworthLib.h"
#include "platform/PinworthProtocol.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace cli {

namespace {

constexpr int kWriterCheckMS = 100;
// How long a recording that ends waits for the answers to its last polls,
// which are on the bus already: the bound of a transfer, and some.
constexpr int kLastAnswersMS = 200;

struct Recorded {
  ListedInterface interface;
  uint16_t source;
  bool attached = true;
};

class Recording : private core::InterfaceListeners::Listener {
public:
  Recording(const Invocation &invocation, capture::CaptureWriter &writer,
            std::vector<Recorded> interfaces)
      : invocation_(invocation), writer_(writer),
        interfaces_(std::move(interfaces)) {
    // The handles outlive the list's rebuilds while they are recorded.
    for (const Recorded &recorded : interfaces_)
      recorded.interface.handle->AddRef();
  }
  ~Recording() {
    listeners_.stopListening(this);
    for (const Recorded &recorded : interfaces_)
      recorded.interface.handle->Release();
  }

  int run() {
    std::vector<std::unique_ptr<core::InterfacePoller>> pollers;
    for (Recorded &recorded : interfaces_) {
      const bool polled = IsInterface0(recorded.interface.identity);
      if (!polled && !arm(recorded))
        return kExitTransferFailed;
      event(recorded, polled ? capture::EventKind::PollingStarted
                             : capture::EventKind::ListeningStarted);
      if (polled)
        pollers.push_back(poller(recorded));
    }
    for (const std::unique_ptr<core::InterfacePoller> &poller : pollers)
      poller->start();
    QTimer writerCheck;
    QObject::connect(&writerCheck, &QTimer::timeout, &loop_,
                     [this] { checkWriter(); });
    writerCheck.start(kWriterCheckMS);
    PinworthSetDeviceCallback(&DevicesChanged, this);
    const int status =
        RunUntilDone(loop_, invocation_.timeoutMS,
                     invocation_.count ? kExitTimedOut : kExitSuccess);
    awaitLastAnswers(pollers);
    PinworthSetDeviceCallback(nullptr, nullptr);
    for (Recorded &recorded : interfaces_)
      if (recorded.attached)
        event(recorded, IsInterface0(recorded.interface.identity)
                            ? capture::EventKind::PollingStopped
                            : capture::EventKind::ListeningStopped);
    return status;
  }

private:
  bool arm(const Recorded &recorded) {
    const hid::Status status = listeners_.listen(
        recorded.interface.position, recorded.interface.identity, this);
    if (status != hid::kSuccess)
      PrintError(QStringLiteral("could not listen to %1: %2")
                     .arg(recorded.interface.identity.displayName(),
                          core::StatusText(status)));
    return status == hid::kSuccess;
  }

  // Polls no more, and records the answers to the reads that wait for one
  // (and the interrupt reports that come meanwhile).
  void awaitLastAnswers(
      const std::vector<std::unique_ptr<core::InterfacePoller>> &pollers) {
    const auto waiting = [&pollers] {
      return std::any_of(
          pollers.begin(), pollers.end(),
          [](const std::unique_ptr<core::InterfacePoller> &poller) {
            return poller->waitsForAnswer();
          });
    };
    for (const std::unique_ptr<core::InterfacePoller> &poller : pollers)
      poller->stopTicks();
    QTimer wakes; // so that the wait below ends in time
    wakes.start(10);
    QElapsedTimer waited;
    waited.start();
    while (waiting() && waited.elapsed() < kLastAnswersMS)
      loop_.processEvents(QEventLoop::WaitForMoreEvents);
  }

  void event(const Recorded &recorded, capture::EventKind kind) {
    writer_.appendEvent(recorded.source, writer_.elapsedUS(), kind);
  }

  void report(const Recorded &recorded, std::optional<uint8_t> reportID,
              const uint8_t *data, int size, hid::ReportTime readAt) {
    if (invocation_.count && reports_ == *invocation_.count)
      return; // the recording has ended
    writer_.appendReport(false, recorded.source, writer_.timeUS(readAt),
                         reportID, data, size);
    if (++reports_ == invocation_.count)
      loop_.exit(kExitSuccess);
  }

  // Polls recorded while it is attached; a failed read ends the recording.
  std::unique_ptr<core::InterfacePoller> poller(Recorded &recorded) {
    return std::make_unique<core::InterfacePoller>(
        [&recorded]() -> std::optional<core::InterfacePoller::Target> {
          if (!recorded.attached)
            return std::nullopt;
          return core::InterfacePoller::Target{
              recorded.interface.handle, recorded.interface.identity,
              int(pinworth::kInterface0ReportSize)};
        },
        [this, &recorded](const core::InterfaceIdentity &source, int32_t status,
                          const std::vector<uint8_t> &data,
                          hid::ReportTime readAt) {
          if (!recorded.attached) // it went while the read waited
            return;
          if (status == hid::kSuccess) {
            report(recorded, std::nullopt, data.data(), int(data.size()),
                   readAt);
            return;
          }
          PrintError(QStringLiteral("could not read from %1: %2")
                         .arg(source.displayName(), core::StatusText(status)));
          loop_.exit(kExitTransferFailed);
        });
  }

  void checkWriter() {
    const capture::CaptureWriter::Status status = writer_.status();
    if (!status.failed)
      return;
    PrintError(QString::fromStdString(status.error));
    loop_.exit(kExitTransferFailed);
  }

  Recorded *find(const core::InterfaceIdentity &identity) {
    for (Recorded &recorded : interfaces_)
      if (recorded.interface.identity == identity)
        return &recorded;
    return nullptr;
  }

  void interruptReport(const core::InterfaceIdentity &source,
                       const uint8_t *data, uint32_t size,
                       hid::ReportTime readAt) override {
    if (Recorded *recorded = find(source))
      report(*recorded, data[0], data + 1, int(size) - 1, readAt);
  }
  void reportsLost(const core::InterfaceIdentity &source, uint64_t count,
                   hid::ReportTime readAt) override {
    if (Recorded *recorded = find(source))
      writer_.appendLoss(recorded->source, writer_.timeUS(readAt),
                         uint32_t(std::min<uint64_t>(count, UINT32_MAX)));
  }
  // record listens once, and its devices' removals end it (DevicesChanged).
  void listeningFailed(const core::InterfaceIdentity &, hid::Status) override {}
  void interfaceGone(const core::InterfaceIdentity &) override {}

  // A device came or went: opening a handle whose device is gone fails with
  // kErrorNoDevice (and changes nothing on one that is open).
  static void DevicesChanged(void *refcon) {
    auto *self = static_cast<Recording *>(refcon);
    bool anyAttached = false;
    for (Recorded &recorded : self->interfaces_) {
      if (recorded.attached &&
          recorded.interface.handle->open(0) == hid::kErrorNoDevice) {
        recorded.attached = false;
        self->event(recorded, capture::EventKind::Unplugged);
        PrintError(QStringLiteral("%1 was unplugged")
                       .arg(recorded.interface.identity.displayName()));
      }
      anyAttached = anyAttached || recorded.attached;
    }
    if (!anyAttached)
      self->loop_.exit(kExitTransferFailed);
  }

  const Invocation &invocation_;
  capture::CaptureWriter &writer_;
  std::vector<Recorded> interfaces_;
  core::InterfaceListeners listeners_;
  PriorityRefusalNotice priorityRefusal_;
  QEventLoop loop_;
  int reports_ = 0;
};

} // namespace

int RecordCapture(const Invocation &invocation) {
  std::vector<ListedInterface> found;
  for (const InterfaceName &name : invocation.targets) {
    const std::optional<ListedInterface> interface = FindInterface(name);
    if (!interface)
      return kExitNoSuchInterface;
    for (const ListedInterface &other : found)
      if (other.identity == interface->identity) {
        PrintError(
            QStringLiteral("%1 is named twice").arg(interface->identity.key()));
        return kExitBadArguments;
      }
    found.push_back(*interface);
  }
  const std::string path = invocation.file.toStdString();
  struct stat existing {};
  if (!invocation.replaceFile && ::lstat(path.c_str(), &existing) == 0) {
    PrintError(QStringLiteral("%1 exists: record writes over a file only "
                              "with --force")
                   .arg(invocation.file));
    return kExitBadArguments;
  }
  std::string reason;
  const std::unique_ptr<capture::CaptureWriter> writer =
      capture::CaptureWriter::create(path, &reason);
  if (!writer) {
    PrintError(QString::fromStdString(reason));
    return kExitTransferFailed;
  }
  std::vector<Recorded> interfaces;
  for (const ListedInterface &interface : found)
    interfaces.push_back(Recorded{
        interface, writer->addInterface(ToCaptureInterface(interface))});
  Recording recording(invocation, *writer, std::move(interfaces));
  std::fprintf(stderr, "Recording to %s; Ctrl+C stops.\n", path.c_str());
  std::fflush(stderr);
  int status = recording.run();
  const capture::CaptureWriter::Status written = writer->close();
  if (written.failed) {
    if (status != kExitTransferFailed)
      PrintError(QString::fromStdString(written.error));
    status = kExitTransferFailed;
  }
  // What the file holds: on a full disk, fewer than were read.
  std::fprintf(stderr, "%llu reports recorded in %s\n",
               static_cast<unsigned long long>(written.reportsWritten),
               path.c_str());
  return status;
}

} // namespace cli
