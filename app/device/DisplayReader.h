// Reading back what the display of the window's target holds, for the
// display panel: LCD mode on, then both lines through a display exchange
// (core/reports/DisplayReports.h), as pinworth's lcd --read does, without
// holding up the window while a write or an answer is awaited. Every report
// goes out through the target writer. While it runs it listens to the interface
// itself; each answer is logged as an "R" row, unless the window listens to
// that interface already, whose reading logs it. An answer that does not come
// within a second ends it with an alert; so does a report that did not go
// out (the writer's alert) or listening that failed.
//
// Main thread only; the writer and the session's listeners outlive the
// reader. The window's target and log go first: the reader uses them only
// while a read-back runs, never when it is destroyed.
#ifndef PINWORTH_EXPLORER_DISPLAY_READER_H
#define PINWORTH_EXPLORER_DISPLAY_READER_H

#include "core/interfaces/InterfaceIdentity.h"
#include "core/interfaces/InterfaceListeners.h"
#include "core/reports/DisplayReports.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>

class QWidget;

namespace explorer {

class TargetWriter;
class WindowLog;
class WindowTarget;

class DisplayReader : public QObject,
                      private core::InterfaceListeners::Listener {
  Q_OBJECT
public:
  // Its alerts go over the window of alertsOver, which outlives it.
  DisplayReader(const WindowTarget &target, WindowLog &log,
                core::InterfaceListeners &listeners, const TargetWriter &writer,
                QWidget &alertsOver);
  ~DisplayReader() override;

  // Starts reading back the display of the selected interface 1.
  void start();
  bool running() const { return bool(exchange_); }
  // Ends a read-back under way without a word (the target changed or
  // left); ended() is not emitted.
  void cancel();

signals:
  // The read-back ended: with the characters of both lines when complete.
  void ended(bool complete, const QByteArray &line0, const QByteArray &line1);

private:
  void proceed();
  void end(bool complete);
  void answerMissing();
  void interruptReport(const core::InterfaceIdentity &source,
                       const uint8_t *report, uint32_t size,
                       hid::ReportTime readAt) override;
  void reportsLost(const core::InterfaceIdentity &, uint64_t,
                   hid::ReportTime) override {}
  void listeningFailed(const core::InterfaceIdentity &source,
                       hid::Status status) override;
  void interfaceGone(const core::InterfaceIdentity &source) override;
  // Ends a read-back of source that the listeners let go of; whether one
  // was running.
  bool dropped(const core::InterfaceIdentity &source);

  const WindowTarget &windowTarget_;
  WindowLog &log_;
  core::InterfaceListeners &listeners_;
  const TargetWriter &writer_;
  QWidget &alertsOver_;
  core::InterfaceIdentity target_;
  std::unique_ptr<core::DisplayExchange> exchange_; // while running
  quint64 readBacks_ = 0;                           // started so far
  bool writing_ = false; // a report of exchange_ awaits its device
  QTimer answerTimer_;   // while an answer is awaited
};

} // namespace explorer

#endif
