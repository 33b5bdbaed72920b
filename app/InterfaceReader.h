// Reading for one explorer window: polling the interface 0 its menu selects,
// 20 times a second, and listening to the interfaces 1 it armed, with the
// counts the status bar shows. It has no widget: what it read, and what was
// lost, it emits for the log.
//
// A poll reads, without waiting for the device, the interface the menu
// selects at that tick (so a change of selection takes effect at the next
// tick) with the form's report size; a tick with no interface 0 selected
// does nothing. With duplicates ignored, a polled report equal to the last
// value read is dropped. Every interrupt report replaces the last value read.
// Listening goes through the program's InterfaceListeners, shared with the
// other windows.
//
// When a device goes, reading on it ends and is remembered: polling when
// the target's device went (targetLeft()), listening on any interface of
// it; resume() takes it up again once the device is listed again. Every
// start and stop is told (readingEvent) for the log.
//
// Main thread only.
#ifndef PINWORTH_EXPLORER_INTERFACE_READER_H
#define PINWORTH_EXPLORER_INTERFACE_READER_H

#include "app/log/LogTableModel.h"
#include "core/interfaces/InterfaceIdentity.h"
#include "core/interfaces/InterfaceListeners.h"
#include "core/interfaces/InterfacePoller.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace explorer {

class InterfaceReader : public QObject,
                        private core::InterfaceListeners::Listener {
  Q_OBJECT
public:
  // selectedPosition and reportSize are read at every poll; listeners must
  // outlive the reader.
  InterfaceReader(core::InterfaceListeners &listeners,
                  std::function<int()> selectedPosition,
                  std::function<int()> reportSize);
  // Stops polling and listening.
  ~InterfaceReader() override;

  bool isPolling() const { return poller_.isPolling(); }
  // The interface 0 being polled, if one is.
  std::optional<core::InterfaceIdentity> polled() const {
    return isPolling() ? polled_ : std::nullopt;
  }
  // The first poll since polling started waits for its answer; the polls
  // after it are polling's own.
  bool waitsForFirstPoll() const { return poller_.waitsForFirstPoll(); }
  // Clears the last value read, polls once at once, then every 50 ms.
  void startPolling();
  void stopPolling();
  // One poll, answered later: emits pollFailed() when the read fails. A
  // poll while the last one waits for its answer does nothing, and an
  // answer that comes after polling stopped or started again is dropped.
  void poll() { poller_.poll(); }

  // Listens to the interface 1 at list position position, source; the
  // failure of its arming is kept for activityText().
  void listen(int position, const core::InterfaceIdentity &source);
  void stopListening(const core::InterfaceIdentity &source);
  bool isListening(const core::InterfaceIdentity &source) const;
  // The interfaces listened to, in the order listening started.
  QList<core::InterfaceIdentity> listening() const;
  // Stops polling and every listening.
  void stopAll();

  // What Read does: start polling the interface 0 at list position
  // position, or listen to the interface 1 there (nothing when there is
  // none); stop polling, or else the listening of selected. stops() says
  // whether Read would stop something. start() is false when there is no
  // interface at position.
  bool start(int position);
  void stop(const std::optional<core::InterfaceIdentity> &selected);
  bool stops(const std::optional<core::InterfaceIdentity> &selected) const;

  // The target's device left: polling stops, to resume when it is back.
  void targetLeft();
  // Takes up again the reading of devices that are listed again: polling
  // when the target is back and polled before (targetBack), listening on
  // each interface that was listened to.
  void resume(bool targetBack);

  bool ignoresDuplicates() const { return ignoreDuplicates_; }
  void setIgnoreDuplicates(bool ignore) { ignoreDuplicates_ = ignore; }
  void setLastValueRead(const std::optional<QByteArray> &value) {
    lastValueRead_ = value;
  }

  // What reading does, on the selected interface and every one listened
  // to: "Polling ... - 20/s", "Listening on ... - 312 reports, 2 lost",
  // "Could not listen on ...: reason", joined by "; "; or the selected
  // interface's name.
  // An unplugged target leads it; with nothing selected and nothing
  // missing it says no device is attached.
  QString
  activityText(const std::optional<core::InterfaceIdentity> &selected,
               const std::optional<core::InterfaceIdentity> &unplugged) const;

signals:
  // A report read: polled (reportID kNoReportID, the data bytes) or by
  // interrupt (its report ID byte taken off). data lasts for the call.
  void reportRead(int reportID, const uint8_t *data, int size,
                  const core::InterfaceIdentity &source,
                  hid::ReportTime readAt);
  void lossNoticed(uint64_t count, const core::InterfaceIdentity &source,
                   hid::ReportTime readAt);
  void pollFailed(int32_t status);
  // Polling or listening on source started or stopped.
  void readingEvent(LogEvent event, const core::InterfaceIdentity &source);

private:
  void interruptReport(const core::InterfaceIdentity &source,
                       const uint8_t *report, uint32_t size,
                       hid::ReportTime readAt) override;
  void reportsLost(const core::InterfaceIdentity &source, uint64_t count,
                   hid::ReportTime readAt) override;
  void listeningFailed(const core::InterfaceIdentity &source,
                       hid::Status status) override;
  void interfaceGone(const core::InterfaceIdentity &source) override;
  void pollingStopped();
  // What a poll reads: the interface 0 selected, if one is.
  std::optional<core::InterfacePoller::Target> pollTarget() const;
  void pollAnswered(const core::InterfaceIdentity &source, int32_t status,
                    const std::vector<uint8_t> &report, hid::ReportTime readAt);

  core::InterfaceListeners &listeners_;
  std::function<int()> selectedPosition_;
  std::function<int()> reportSize_;
  std::optional<core::InterfaceIdentity> polled_; // what polling started on
  bool resumePolling_ = false;
  QList<core::InterfaceIdentity> toResume_; // listened to when they left
  bool ignoreDuplicates_ = true;
  std::optional<QByteArray> lastValueRead_;
  // Scheduled while polling; stopped, never destroyed, by stopPolling(),
  // which may run inside one of its answers.
  core::InterfacePoller poller_;
  QElapsedTimer clock_;
  mutable std::deque<qint64> recentPolls_; // clock times of the last second
  QHash<core::InterfaceIdentity, quint64> interruptReports_; // since armed
  QHash<core::InterfaceIdentity, quint64> lostReports_;      // likewise
  // The interface whose arming failed last, and why.
  std::optional<std::pair<core::InterfaceIdentity, QString>> armFailure_;
};

} // namespace explorer

#endif
