// Reading for one explorer window: polling each interface 0 it was asked
// to poll, 20 times a second, and listening to the interfaces 1 it armed,
// with the counts the status bar shows. It has no widget: what it read, and
// what was lost, it emits for the log.
//
// Each interface's reading is its own: polling or listening starts and
// stops on the interface named, whatever the window's menu selects
// meanwhile, and goes on beside the reading of every other interface. A
// poll reads, without waiting for the device, the interface's input report.
// With duplicates ignored, a polled report equal to the last value read from
// its interface is dropped. Every interrupt report replaces the last value
// read of each polled interface. A poll that fails ends the polling of its
// interface (readingEvent), then pollFailed() tells why. Listening goes
// through the program's InterfaceListeners, shared with the other windows.
//
// When a device goes, reading on it ends and is remembered; followList()
// takes it up again once the device is listed again. Every start and stop
// is told (readingEvent) for the log.
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
#include <memory>
#include <optional>
#include <vector>

namespace explorer {

class InterfaceReader : public QObject,
                        private core::InterfaceListeners::Listener {
  Q_OBJECT
public:
  // listeners must outlive the reader.
  explicit InterfaceReader(core::InterfaceListeners &listeners);
  // Stops polling and listening.
  ~InterfaceReader() override;

  bool isPolling(const core::InterfaceIdentity &source) const;
  // Whether any interface is polled.
  bool isPolling() const { return !polled().isEmpty(); }
  // The interfaces 0 polled, in the order polling started.
  QList<core::InterfaceIdentity> polled() const;
  // The first poll since some polling started waits for its answer; the
  // polls after it are polling's own.
  bool waitsForFirstPoll() const;
  // Polls source once at once, then every 50 ms; its last value read is
  // cleared. Polling it already, does nothing.
  void startPolling(const core::InterfaceIdentity &source);
  void stopPolling(const core::InterfaceIdentity &source);
  // One poll of each interface polled, answered later. A poll while the
  // last one of its interface waits for its answer does nothing, and an
  // answer that comes after its polling stopped or started again is dropped.
  void poll();

  // Listens to the interface 1 at list position position, source; the
  // failure of its arming is kept for activityText().
  void listen(int position, const core::InterfaceIdentity &source);
  void stopListening(const core::InterfaceIdentity &source);
  bool isListening(const core::InterfaceIdentity &source) const;
  // The interfaces listened to, in the order listening started.
  QList<core::InterfaceIdentity> listening() const;
  // Stops every polling and listening.
  void stopAll();

  // What Read does on the interface at list position position: start
  // polling it (an interface 0) or listening to it (an interface 1); false
  // when there is no interface there. reads() says whether source is read,
  // which Read would then stop (stop()).
  bool start(int position);
  void stop(const core::InterfaceIdentity &source);
  bool reads(const core::InterfaceIdentity &source) const {
    return isPolling(source) || isListening(source);
  }

  // After the library's list changed: the polling of each interface no
  // longer listed stops, to resume when it is listed again; polling and
  // listening on interfaces listed again resume.
  void followList();

  bool ignoresDuplicates() const { return ignoreDuplicates_; }
  void setIgnoreDuplicates(bool ignore) { ignoreDuplicates_ = ignore; }
  // Sets the last value read of every interface polled.
  void setLastValueRead(const std::optional<QByteArray> &value);

  // What reading does, on every interface read: "Polling ... - 20/s",
  // "Listening on ... - 312 reports, 2 lost", and for selected "Could not
  // listen on ...: reason", joined by "; "; or the selected interface's
  // name. An unplugged target leads it; with nothing selected and nothing
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
  // One interface 0 polled now or before; kept, stopped, once its polling
  // ends, since a stop may come from inside one of its poller's answers.
  struct Polling {
    core::InterfaceIdentity source;
    std::unique_ptr<core::InterfacePoller> poller;
    std::optional<QByteArray> lastValueRead;
    std::deque<qint64> recentPolls; // clock times of the last second
    quint64 order = 0;              // when polling last started
  };

  void interruptReport(const core::InterfaceIdentity &source,
                       const uint8_t *report, uint32_t size,
                       hid::ReportTime readAt) override;
  void reportsLost(const core::InterfaceIdentity &source, uint64_t count,
                   hid::ReportTime readAt) override;
  void listeningFailed(const core::InterfaceIdentity &source,
                       hid::Status status) override;
  void interfaceGone(const core::InterfaceIdentity &source) override;
  Polling *pollingOf(const core::InterfaceIdentity &source) const;
  // Ends source's polling, told when it ran.
  void pollingStopped(Polling &polling);
  void pollAnswered(Polling &polling, int32_t status,
                    const std::vector<uint8_t> &report, hid::ReportTime readAt);

  core::InterfaceListeners &listeners_;
  std::vector<std::unique_ptr<Polling>> pollings_;
  quint64 pollingsStarted_ = 0;
  // Read when their device left: polled, and listened to.
  QList<core::InterfaceIdentity> toResumePolling_;
  QList<core::InterfaceIdentity> toResume_;
  bool ignoreDuplicates_ = true;
  QElapsedTimer clock_;
  QHash<core::InterfaceIdentity, quint64> interruptReports_; // since armed
  QHash<core::InterfaceIdentity, quint64> lostReports_;      // likewise
  // The interface whose arming failed last, and why.
  std::optional<std::pair<core::InterfaceIdentity, QString>> armFailure_;
};

} // namespace explorer

#endif
