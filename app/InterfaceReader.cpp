#include "app/InterfaceReader.h"

#include "core/InterfaceInfo.h"
#include "core/ReportRecord.h"
#include "lib/PinworthLib.h"

#include <algorithm>
#include <vector>

namespace {

// A poll asks for this report ID.
constexpr int kPolledReportID = 0;

bool IsPolledInterface(int interfaceType) {
  return interfaceType == kPinworthAInterface0 ||
         interfaceType == kPinworthBInterface0;
}

} // namespace

InterfaceReader::InterfaceReader(InterfaceListeners &listeners,
                                 std::function<int()> selectedPosition,
                                 std::function<int()> reportSize)
    : listeners_(listeners), selectedPosition_(std::move(selectedPosition)),
      reportSize_(std::move(reportSize)) {
  clock_.start();
  connect(&timer_, &runloop::DefaultModeTimer::timeout, this,
          &InterfaceReader::poll);
}

InterfaceReader::~InterfaceReader() {
  listeners_.stopListening(this);
}

void InterfaceReader::startPolling() {
  lastValueRead_.reset();
  polling_ = true;
  poll();
  if (polling_)
    timer_.start(kPollPeriodMS);
}

void InterfaceReader::stopPolling() {
  timer_.stop();
  polling_ = false;
  recentPolls_.clear();
}

void InterfaceReader::poll() {
  const PinworthListNode *node =
      PinworthInterfaceListNodeAtIndex(selectedPosition_());
  if (!node || !IsPolledInterface(node->interfaceType))
    return;
  const int size = std::max(reportSize_(), 0);
  std::vector<uint8_t> report(size_t(size), 0);
  const int32_t status = PinworthReadFromInterface(
      node->pinworthHIDInterface, kPolledReportID, size, report.data());
  if (status != hid::kSuccess) {
    emit pollFailed(status);
    return;
  }
  recentPolls_.push_back(clock_.elapsed());
  const QByteArray value(reinterpret_cast<const char *>(report.data()), size);
  if (ignoreDuplicates_ && lastValueRead_ == value)
    return;
  const std::optional<InterfaceIdentity> source =
      IdentityAtPosition(selectedPosition_());
  emit reportRead(kNoReportID, report.data(), size, *source);
  lastValueRead_ = value;
}

void InterfaceReader::listen(int position, const InterfaceIdentity &source) {
  const hid::Status status = listeners_.listen(position, source, this);
  if (status != hid::kSuccess)
    listeningFailed(source, status);
  else if (armFailure_ && armFailure_->first == source)
    armFailure_.reset();
}

void InterfaceReader::interruptReport(const InterfaceIdentity &source,
                                      const uint8_t *report, uint32_t size) {
  ++interruptReports_[source];
  emit reportRead(report[0], report + 1, int(size) - 1, source);
  lastValueRead_ =
      QByteArray(reinterpret_cast<const char *>(report), qsizetype(size));
}

void InterfaceReader::reportsLost(const InterfaceIdentity &source,
                                  uint64_t count) {
  lostReports_[source] += count;
  emit lossNoticed(count, source);
}

void InterfaceReader::listeningFailed(const InterfaceIdentity &source,
                                      hid::Status status) {
  armFailure_.emplace(source, hid::StatusString(status));
}

QString InterfaceReader::activityText(
    const std::optional<InterfaceIdentity> &selected) const {
  while (!recentPolls_.empty() &&
         recentPolls_.front() <= clock_.elapsed() - 1000)
    recentPolls_.pop_front();
  if (!selected)
    return QString();
  const QString name = selected->displayName();
  if (polling_)
    return QStringLiteral("Polling %1 - %2/s")
        .arg(name)
        .arg(recentPolls_.size());
  if (armFailure_ && armFailure_->first == *selected)
    return QStringLiteral("Could not listen on %1: %2")
        .arg(name, armFailure_->second);
  if (listeners_.isListening(*selected, this)) {
    const quint64 lost = lostReports_.value(*selected);
    return QStringLiteral("Listening on %1 - %2 reports%3")
        .arg(name)
        .arg(interruptReports_.value(*selected))
        .arg(lost ? QStringLiteral(", %1 lost").arg(lost) : QString());
  }
  return name;
}
