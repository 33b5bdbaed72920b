#include "app/InterfaceReader.h"

#include "app/InterfaceMenu.h"
#include "core/interfaces/InterfaceInfo.h"
#include "core/reports/ReportRecord.h"
#include "lib/PinworthLib.h"

#include <vector>

namespace explorer {

namespace {

bool IsPolledInterface(int interfaceType) {
  return interfaceType == kPinworthAInterface0 ||
         interfaceType == kPinworthBInterface0;
}

} // namespace

InterfaceReader::InterfaceReader(core::InterfaceListeners &listeners,
                                 std::function<int()> selectedPosition,
                                 std::function<int()> reportSize)
    : listeners_(listeners), selectedPosition_(std::move(selectedPosition)),
      reportSize_(std::move(reportSize)),
      poller_([this] { return pollTarget(); },
              [this](const core::InterfaceIdentity &source, int32_t status,
                     const std::vector<uint8_t> &report,
                     hid::ReportTime readAt) {
                pollAnswered(source, status, report, readAt);
              }) {
  clock_.start();
}

InterfaceReader::~InterfaceReader() {
  listeners_.stopListening(this);
}

void InterfaceReader::startPolling() {
  lastValueRead_.reset();
  resumePolling_ = false;
  polled_ = core::IdentityAtPosition(selectedPosition_());
  if (polled_)
    emit readingEvent(LogEvent::PollingStarted, *polled_);
  poller_.start();
}

void InterfaceReader::stopPolling() {
  resumePolling_ = false;
  pollingStopped();
}

void InterfaceReader::pollingStopped() {
  const bool was = isPolling();
  poller_.stop();
  recentPolls_.clear();
  if (was && polled_)
    emit readingEvent(LogEvent::PollingStopped, *polled_);
}

void InterfaceReader::targetLeft() {
  if (isPolling()) {
    pollingStopped();
    resumePolling_ = true;
  }
}

void InterfaceReader::resume(bool targetBack) {
  if (targetBack && resumePolling_)
    startPolling();
  const QList<core::InterfaceIdentity> waiting = std::exchange(toResume_, {});
  for (const core::InterfaceIdentity &source : waiting) {
    const int position = core::PositionOfIdentity(source);
    if (position < 0)
      toResume_.append(source);
    else
      listen(position, source);
  }
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
  stopPolling();
  for (const core::InterfaceIdentity &source : listening())
    stopListening(source);
  toResume_.clear();
}

bool InterfaceReader::start(int position) {
  const PinworthListNode *node = PinworthInterfaceListNodeAtIndex(position);
  if (position < 0 || !node)
    return false;
  if (IsPolledInterface(node->interfaceType))
    startPolling();
  else
    listen(position, *core::IdentityAtPosition(position));
  return true;
}

void InterfaceReader::stop(
    const std::optional<core::InterfaceIdentity> &selected) {
  if (isPolling())
    stopPolling();
  else if (selected)
    stopListening(*selected);
}

bool InterfaceReader::stops(
    const std::optional<core::InterfaceIdentity> &selected) const {
  return isPolling() || (selected && isListening(*selected));
}

void InterfaceReader::interfaceGone(const core::InterfaceIdentity &source) {
  emit readingEvent(LogEvent::ListeningStopped, source);
  toResume_.append(source);
}

// No selection (position -1) polls nothing, though the library would answer
// it with the first node.
std::optional<core::InterfacePoller::Target>
InterfaceReader::pollTarget() const {
  const int position = selectedPosition_();
  const PinworthListNode *node =
      position < 0 ? nullptr : PinworthInterfaceListNodeAtIndex(position);
  if (!node || !IsPolledInterface(node->interfaceType))
    return std::nullopt;
  return core::InterfacePoller::Target{node->pinworthHIDInterface,
                                       *core::IdentityAtPosition(position),
                                       reportSize_()};
}

void InterfaceReader::pollAnswered(const core::InterfaceIdentity &source,
                                   int32_t status,
                                   const std::vector<uint8_t> &report,
                                   hid::ReportTime readAt) {
  if (status != hid::kSuccess) {
    stopPolling();
    emit pollFailed(status);
    return;
  }
  recentPolls_.push_back(clock_.elapsed());
  const QByteArray value(reinterpret_cast<const char *>(report.data()),
                         qsizetype(report.size()));
  if (ignoreDuplicates_ && lastValueRead_ == value)
    return;
  emit reportRead(core::kNoReportID, report.data(), int(report.size()), source,
                  readAt);
  lastValueRead_ = value;
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
  emit reportRead(report[0], report + 1, int(size) - 1, source, readAt);
  lastValueRead_ =
      QByteArray(reinterpret_cast<const char *>(report), qsizetype(size));
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
  while (!recentPolls_.empty() &&
         recentPolls_.front() <= clock_.elapsed() - 1000)
    recentPolls_.pop_front();
  QStringList parts;
  if (unplugged)
    parts << InterfaceMenu::UnpluggedText(*unplugged);
  else if (!selected)
    parts << InterfaceMenu::kNoInterfaceText;
  if (isPolling() && selected)
    parts << QStringLiteral("Polling %1 - %2/s")
                 .arg(selected->displayName())
                 .arg(recentPolls_.size());
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
