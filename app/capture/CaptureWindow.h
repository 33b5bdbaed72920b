// A capture opened read-only in a window of its own: its rows with the
// log's columns, decoding, filter, copy and export, its export to other
// tools' formats, and its times as they were recorded. The rows are read
// from the file as they are shown, a long capture's a slice at a time. What
// the log's tools say (a filter's count, a copy refused, an export done) is
// shown in a message bar above them; the status bar counts the rows. "Replay
// Selection to Device…" in the log's context menu asks for its selected W
// rows to be replayed. File > Save Capture As… copies the file to one the
// user names. The window deletes itself when closed.
#ifndef PINWORTH_EXPLORER_CAPTURE_WINDOW_H
#define PINWORTH_EXPLORER_CAPTURE_WINDOW_H

#include "app/device/ReplayRows.h"

#include <QMainWindow>

#include <memory>

namespace explorer {

class CaptureFileRows;
class LogPanel;
class MessageBar;
class LogTableModel;

class CaptureWindow : public QMainWindow {
  Q_OBJECT
public:
  // Opens the capture at path, shown; null, with the reason, when it is
  // not a capture this program reads.
  static CaptureWindow *open(const QString &path, QString *error);
  ~CaptureWindow() override;

  LogTableModel *log() const { return log_.get(); }
  LogPanel *panel() const { return panel_.get(); }
  // Says text about the capture in the window's message bar until it is
  // dismissed.
  void tell(const QString &text);

signals:
  // The W rows selected (at least one) are to be replayed; origin is the
  // capture's file name.
  void replayAsked(const QList<ReplayRow> &rows, const QString &origin);

private:
  CaptureWindow();
  void saveAs();

  QString path_;
  MessageBar *messages_;
  std::unique_ptr<CaptureFileRows> rows_; // shown by log_, outlives it
  std::unique_ptr<LogTableModel> log_;
  std::unique_ptr<LogPanel> panel_;
};

} // namespace explorer

#endif
