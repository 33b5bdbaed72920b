// The pin timeline beside a log: the pins of one interface 0 of the log over
// time (PinTimelineView), with the interface to show, the cursors' and the
// pointer's readouts, Fit, and a menu to hide, move and name pins, set the
// cursors, save what is shown as a PNG or an SVG, and export the whole
// capture as a VCD.
//
// It follows the log as rows come, reading them a slice at a time so that
// a long capture is taken in without holding the window, and follows the
// log view's selection both ways: a selected row's time is marked, and an
// edge clicked selects its row (when the log's filter shows it).
//
// Main thread only.
#ifndef PINWORTH_EXPLORER_PIN_TIMELINE_H
#define PINWORTH_EXPLORER_PIN_TIMELINE_H

#include "app/WindowState.h"
#include "app/timeline/PinHistory.h"

#include <QGroupBox>
#include <QList>

#include <cstdint>
#include <functional>

class QComboBox;
class QLabel;
class QScrollArea;

namespace explorer {

class LogTableModel;
class LogView;
class PinTimelineView;

class PinTimeline : public QGroupBox {
  Q_OBJECT
public:
  // The longest the timeline reads the log at once.
  static constexpr int kSliceMS = 4;

  // log and view outlive the timeline.
  PinTimeline(LogTableModel &log, LogView &view, QWidget *parent = nullptr);

  PinTimelineView *view() const { return view_; }
  const PinHistory &history() const { return history_; }
  // Whether every report of the log has been read.
  bool caughtUp() const;
  // The pins' names and order, as the user left them.
  PinLayout pinLayout() const;
  void setPinLayout(const PinLayout &layout);

  // Saves the traces shown to path: an SVG when it ends in .svg, else a
  // PNG; false when it cannot.
  bool saveImage(const QString &path) const;

  // Offers "Export All as VCD…" in the menu, which calls exportWhole: the
  // window's export of its whole capture, as VCD.
  void setWholeExport(std::function<void()> exportWhole) {
    exportWhole_ = std::move(exportWhole);
  }

signals:
  // The user named, moved, hid or showed pins.
  void pinsArranged();

private:
  // Reads the log's reports not yet read, until a slice is over.
  void readMore();
  // Starts again from the log's first report, for the interface chosen.
  void restart();
  void logReset();
  void selectionChanged();
  void pick(int report);
  void showMenu(const QPoint &at, int pin, int64_t time);
  void namePin(int pin);
  void movePin(int pin, int by);
  void hidePin(int pin);
  void askImagePath();
  void showReadout();
  // Whether source, that of report, is an interface 0.
  bool isInterface0(uint16_t source, int report);

  LogTableModel &log_;
  LogView &logView_;
  PinHistory history_;
  PinTimelineView *view_;
  QScrollArea *scroll_;
  QComboBox *sources_;
  QLabel *cursors_;
  QLabel *pointer_;
  int read_ = 0; // the reports of the log read
  bool readPending_ = false;
  // By the log's source index: 1 an interface 0, 0 not, -1 not yet known.
  QList<int8_t> sourceKinds_;
  std::function<void()> exportWhole_;
};

} // namespace explorer

#endif
