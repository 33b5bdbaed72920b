#include "app/InterfaceReader.h"

#include "app/InterfaceMenu.h"
#include "core/interfaces/InterfaceInfo.h"
#include "core/reports/ReportRecord.h"
#include "lib/PinworthLib.h"
#include "platform/PinworthProtocol.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace explorer {

namespace {

bool IsPolledInterface(int interfaceType) {
  return interfaceType == kPinworthAInterface0 ||
         interfaceType == kPinworthBInterface0;
}

} // namespace

InterfaceReader::InterfaceReader(core::InterfaceListeners &listeners)
    : listeners_(listeners) {
  clock_.start();
}

InterfaceReader::~InterfaceReader() {
  listeners_.stopListening(this);
}

InterfaceReader::Polling *
InterfaceReader::pollingOf(const core::InterfaceIdentity &source) const {
  for (const std::unique_ptr<Polling> &polling : pollings_)
    if (polling->source == source)
      return polling.get();
  return nullptr;
}

bool InterfaceReader::isPolling(const core::InterfaceIdentity &source) const {
  const Polling *polling = pollingOf(source);
  return polling && polling->poller->isPolling();
}

QList<core::InterfaceIdentity> InterfaceReader::polled() const {
  std::vector<const Polling *> running;
  for (const std::unique_ptr<Polling> &polling : pollings_)
    if (polling->poller->isPolling())
      running.push_back(polling.get());
  std::sort(
      running.begin(), running.end(),
      [](const Polling *a, const Polling *b) { return a->order < b->order; });
  QList<core::InterfaceIdentity> sources;
  for (const Polling *polling : running)
    sources.append(polling->source);
  return sources;
}

bool InterfaceReader::waitsForFirstPoll() const {
  return std::any_of(pollings_.begin(), pollings_.end(),
                     [](const std::unique_ptr<Polling> &polling) {
                       return polling->poller->waitsForFirstPoll();
                     });
}

// The poller reads source wherever the list has it now, and nothing while
// it is not listed.
void InterfaceReader::startPolling(const core::InterfaceIdentity &source) {
  toResumePolling_.removeAll(source);
  Polling *polling = pollingOf(source);
  if (polling && polling->poller->isPolling())
    return;
  if (!polling) {
    auto made = std::make_unique<Polling>();
    polling = made.get();
    polling->source = source;
    polling->poller = std::make_unique<core::InterfacePoller>(
        [source]() -> std::optional<core::InterfacePoller::Target> {
          const int position = core::PositionOfIdentity(source);
          const PinworthListNode *node =
              position < 0 ? nullptr
                           : PinworthInterfaceListNodeAtIndex(position);
          if (!node)
            return std::nullopt;
          return core::InterfacePoller::Target{
              node->pinworthHIDInterface, source,
              int(pinworth::kInterface0ReportSize)};
        },
        [this, polling](const core::InterfaceIdentity &, int32_t status,
                        const std::vector<uint8_t> &report,
                        hid::ReportTime readAt) {
          pollAnswered(*polling, status, report, readAt);
        });
    pollings_.push_back(std::move(made));
  }
  polling->lastValueRead.reset();
  polling->order = ++pollingsStarted_;
  emit readingEvent(LogEvent::PollingStarted, source);
  polling->poller->start();
}

void InterfaceReader::stopPolling(const core::InterfaceIdentity &source) {
  toResumePolling_.removeAll(source);
  if (Polling *polling = pollingOf(source))
    pollingStopped(*polling);
}

void InterfaceReader::pollingStopped(Polling &polling) {
  const bool was = polling.poller->isPolling();
  polling.poller->stop();
  polling.recentPolls.clear();
  if (was)
    emit readingEvent(LogEvent::PollingStopped, polling.source);
}

void InterfaceReader::poll() {
  for (const std::unique_ptr<Polling> &polling : pollings_)
    if (polling->poller->isPolling())
      polling->poller->poll();
}

void InterfaceReader::followList() {
  for (const std::unique_ptr<Polling> &polling : pollings_)
    if (polling->poller->isPolling() &&
        core::PositionOfIdentity(polling->source) < 0) {
      pollingStopped(*polling);
      toResumePolling_.append(polling->source);
    }
  const QList<core::InterfaceIdentity> polls =
      std::exchange(toResumePolling_, {});
  for (const core::InterfaceIdentity &source : polls) {
    if (core::PositionOfIdentity(source) < 0)
      toResumePolling_.append(source);
    else
      startPolling(source);
  }
  const QList<core::InterfaceIdentity> waiting = std::exchange(toResume_, {});
  for (const core::InterfaceIdentity &source : waiting) {
    const int position = core::PositionOfIdentity(source);
    if (position < 0)
      toResume_.append(source);
    else
      listen(position, source);
  }
}

void InterfaceReader::setLastValueRead(const std::optional<QByteArray> &value) {
  for (const std::unique_ptr<Polling> &polling : pollings_)
    polling->lastValueRead = value;
}

void InterfaceReader::stopListening(const core::InterfaceIdentity &source) {
  if (!listeners_.isListening(source, this))
    return;
  listeners_.stopListening(source, this);
  emit readingEvent(LogEvent::ListeningStopped, source);
}

bool InterfaceReader::isListening(const core::InterfaceIdentity &source) const {
  return listeners_.isListening(source, this);
}

QList<core::InterfaceIdentity> InterfaceReader::listening() const {
  return listeners_.interfacesOf(this);
}

void InterfaceReader::stopAll() {
  for (const core::InterfaceIdentity &source : polled())
    stopPolling(source);
  for (const core::InterfaceIdentity &source : listening())
    stopListening(source);
  toResumePolling_.clear();
  toResume_.clear();
}

bool InterfaceReader::start(int position) {
  const PinworthListNode *node = PinworthInterfaceListNodeAtIndex(position);
  if (position < 0 || !node)
    return false;
  const core::InterfaceIdentity source = *core::IdentityAtPosition(position);
  if (IsPolledInterface(node->interfaceType))
    startPolling(source);
  else
    listen(position, source);
  return true;
}

void InterfaceReader::stop(const core::InterfaceIdentity &source) {
  if (isPolling(source))
    stopPolling(source);
  else
    stopListening(source);
}

void InterfaceReader::interfaceGone(const core::InterfaceIdentity &source) {
  emit readingEvent(LogEvent::ListeningStopped, source);
  toResume_.append(source);
}

void InterfaceReader::pollAnswered(Polling &polling, int32_t status,
                                   const std::vector<uint8_t> &report,
                                   hid::ReportTime readAt) {
  if (status != hid::kSuccess) {
    stopPolling(polling.source);
    emit pollFailed(status);
    return;
  }
  polling.recentPolls.push_back(clock_.elapsed());
  const QByteArray value(reinterpret_cast<const char *>(report.data()),
                         qsizetype(report.size()));
  if (ignoreDuplicates_ && polling.lastValueRead == value)
    return;
  polling.lastValueRead = value;
  emit reportRead(core::kNoReportID, report.data(), int(report.size()),
                  polling.source, readAt);
}

void InterfaceReader::listen(int position,
                             const core::InterfaceIdentity &source) {
  const bool already = listeners_.isListening(source, this);
  const hid::Status status = listeners_.listen(position, source, this);
  if (status != hid::kSuccess) {
    listeningFailed(source, status);
    return;
  }
  if (armFailure_ && armFailure_->first == source)
    armFailure_.reset();
  if (!already)
    emit readingEvent(LogEvent::ListeningStarted, source);
}

void InterfaceReader::interruptReport(const core::InterfaceIdentity &source,
                                      const uint8_t *report, uint32_t size,
                                      hid::ReportTime readAt) {
  ++interruptReports_[source];
  setLastValueRead(
      QByteArray(reinterpret_cast<const char *>(report), qsizetype(size)));
  emit reportRead(report[0], report + 1, int(size) - 1, source, readAt);
}

void InterfaceReader::reportsLost(const core::InterfaceIdentity &source,
                                  uint64_t count, hid::ReportTime readAt) {
  lostReports_[source] += count;
  emit lossNoticed(count, source, readAt);
}

void InterfaceReader::listeningFailed(const core::InterfaceIdentity &source,
                                      hid::Status status) {
  armFailure_.emplace(source, hid::StatusString(status));
}

QString InterfaceReader::activityText(
    const std::optional<core::InterfaceIdentity> &selected,
    const std::optional<core::InterfaceIdentity> &unplugged) const {
  QStringList parts;
  if (unplugged)
    parts << InterfaceMenu::UnpluggedText(*unplugged);
  else if (!selected)
    parts << InterfaceMenu::kNoInterfaceText;
  for (const core::InterfaceIdentity &source : polled()) {
    std::deque<qint64> &recent = pollingOf(source)->recentPolls;
    while (!recent.empty() && recent.front() <= clock_.elapsed() - 1000)
      recent.pop_front();
    parts << QStringLiteral("Polling %1 - %2/s")
                 .arg(source.displayName())
                 .arg(recent.size());
  }
  if (armFailure_ && armFailure_->first == selected)
    parts << QStringLiteral("Could not listen on %1: %2")
                 .arg(selected->displayName(), armFailure_->second);
  for (const core::InterfaceIdentity &source : listening()) {
    const quint64 lost = lostReports_.value(source);
    parts << QStringLiteral("Listening on %1 - %2 reports%3")
                 .arg(source.displayName())
                 .arg(interruptReports_.value(source))
                 .arg(lost ? QStringLiteral(", %1 lost").arg(lost) : QString());
  }
  if (parts.isEmpty() && selected)
    parts << selected->displayName();
  return parts.join(QStringLiteral("; "));
}

} // namespace explorer
