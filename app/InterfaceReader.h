// Reading for one explorer window: polling the interface 0 its menu selects,
// 20 times a second, and listening to the interfaces 1 it armed, with the
// counts the status bar shows. It has no widget: what it read, and what was
// lost, it emits for the log.
//
// A poll reads the interface the menu selects at that tick (so a change of
// selection takes effect at the next tick) with the form's report size; a
// tick with no interface 0 selected does nothing. With duplicates ignored, a
// polled report equal to the last value read is dropped. Every interrupt
// report replaces the last value read. Listening goes through the program's
// InterfaceListeners, shared with the other windows.
//
// Main thread only.
#ifndef PINWORTH_EXPLORER_INTERFACE_READER_H
#define PINWORTH_EXPLORER_INTERFACE_READER_H

#include "core/InterfaceIdentity.h"
#include "core/InterfaceListeners.h"
#include "runloop/DefaultMode.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

class InterfaceReader : public QObject, private InterfaceListeners::Listener {
  Q_OBJECT
public:
  static constexpr int kPollPeriodMS = 50;

  // selectedPosition and reportSize are read at every poll; listeners must
  // outlive the reader.
  InterfaceReader(InterfaceListeners &listeners,
                  std::function<int()> selectedPosition,
                  std::function<int()> reportSize);
  // Stops polling and listening.
  ~InterfaceReader() override;

  bool isPolling() const { return polling_; }
  bool pollTimerScheduled() const { return timer_.isActive(); }
  // Clears the last value read, polls once at once, then every 50 ms; a
  // first poll that fails ends polling before any timer starts.
  void startPolling();
  void stopPolling();
  // One poll; emits pollFailed() when the read fails.
  void poll();

  // Listens to the interface 1 at list position position, source; the
  // failure of its arming is kept for activityText().
  void listen(int position, const InterfaceIdentity &source);

  bool ignoresDuplicates() const { return ignoreDuplicates_; }
  void setIgnoreDuplicates(bool ignore) { ignoreDuplicates_ = ignore; }
  void setLastValueRead(const std::optional<QByteArray> &value) {
    lastValueRead_ = value;
  }

  // What reading does on selected: "Polling ... - 20/s", "Listening on ...
  // - 312 reports, 2 lost", "Could not listen on ...: reason", or its name.
  QString activityText(const std::optional<InterfaceIdentity> &selected) const;

signals:
  // A report read: polled (reportID kNoReportID, the data bytes) or by
  // interrupt (its report ID byte taken off). data lasts for the call.
  void reportRead(int reportID, const uint8_t *data, int size,
                  const InterfaceIdentity &source);
  void lossNoticed(uint64_t count, const InterfaceIdentity &source);
  void pollFailed(int32_t status);

private:
  void interruptReport(const InterfaceIdentity &source, const uint8_t *report,
                       uint32_t size) override;
  void reportsLost(const InterfaceIdentity &source, uint64_t count) override;
  void listeningFailed(const InterfaceIdentity &source,
                       hid::Status status) override;

  InterfaceListeners &listeners_;
  std::function<int()> selectedPosition_;
  std::function<int()> reportSize_;
  bool polling_ = false;
  bool ignoreDuplicates_ = true;
  std::optional<QByteArray> lastValueRead_;
  // Scheduled while polling; stopped, never destroyed, by stopPolling(),
  // which may run inside one of its ticks.
  runloop::DefaultModeTimer timer_;
  QElapsedTimer clock_;
  mutable std::deque<qint64> recentPolls_; // clock times of the last second
  QHash<InterfaceIdentity, quint64> interruptReports_; // since armed
  QHash<InterfaceIdentity, quint64> lostReports_;      // likewise
  // The interface whose arming failed last, and why.
  std::optional<std::pair<InterfaceIdentity, QString>> armFailure_;
};

#endif
