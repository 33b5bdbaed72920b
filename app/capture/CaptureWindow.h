// A capture opened read-only in a window of its own: its rows with the
// log's columns, decoding, filter, copy and export, its export to other
// tools' formats, and its times as they were recorded. The rows are read
// from the file as they are shown, a long capture's a slice at a time. What
// the log's tools say (a filter's count, a copy refused, an export done) is
// shown in a message bar above them; the status bar counts the rows. The
// window deletes itself when closed.
#ifndef PINWORTH_EXPLORER_CAPTURE_WINDOW_H
#define PINWORTH_EXPLORER_CAPTURE_WINDOW_H

#include <QMainWindow>

#include <memory>

class CaptureFileRows;
class LogPanel;
class LogTableModel;

class CaptureWindow : public QMainWindow {
  Q_OBJECT
public:
  // Opens the capture at path, shown; null, with the reason, when it is
  // not a capture this program reads.
  static CaptureWindow *open(const QString &path, QString *reason);
  ~CaptureWindow() override;

  LogTableModel *log() const { return log_.get(); }
  LogPanel *panel() const { return panel_.get(); }

private:
  CaptureWindow();

  QString path_;
  std::unique_ptr<CaptureFileRows> rows_; // shown by log_, outlives it
  std::unique_ptr<LogTableModel> log_;
  std::unique_ptr<LogPanel> panel_;
};

#endif
