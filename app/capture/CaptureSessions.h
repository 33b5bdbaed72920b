// The captures of the explorer's windows and the ones opened read-only:
// - each window's log is written to a current capture of the session store
//   (LogCapture) while the window is open; a problem writing it stays in the
//   window's message bar;
// - File > Save Capture As… copies a window's capture to a file the user
//   names, every row logged so far in it;
// - File > Open Capture… and a capture file dropped on a window open it
//   read-only in a CaptureWindow;
// - File > Export Capture… writes a window's capture in another tool's
//   format, File > Import… makes another tool's recording a session and
//   opens it;
// - the W rows a CaptureWindow asks to replay are handed on (replayAsked);
// - at the first window, captures an explorer left unclosed (a crash, a
//   kill) are kept as sessions, and the newest is offered for opening.
// No folder: the logs are not written to disk. Main thread only.
#ifndef PINWORTH_EXPLORER_CAPTURE_SESSIONS_H
#define PINWORTH_EXPLORER_CAPTURE_SESSIONS_H

#include "app/capture/LogCapture.h"
#include "app/capture/SessionStore.h"
#include "app/device/ReplayRows.h"

#include "interop/InteropFormats.h"

#include <QObject>
#include <QPointer>

#include <map>
#include <memory>
#include <optional>

class QWidget;

namespace explorer {

class CaptureWindow;
class LogTableModel;
class MessageBar;

class CaptureSessions : public QObject {
  Q_OBJECT
public:
  explicit CaptureSessions(const QString &folder);
  ~CaptureSessions() override;

  // Begins writing the log of an explorer window, which outlives it, and
  // telling a problem writing it in messages; forget() ends it, keeping the
  // capture as a session. The calls below name the window's capture by the
  // window, and put their dialogs and alerts over it.
  void record(QWidget *window, LogTableModel &log, MessageBar &messages);
  void forget(QWidget *window);
  // The window's capture, null when its log is not written to disk.
  LogCapture *captureOf(QWidget *window) const;

  void saveAs(QWidget *window);
  // Copies the window's capture to path; false, with the reason, when it
  // cannot.
  bool saveTo(QWidget *window, const QString &path, QString *error);
  // File > Export Capture… of the window's capture, offering preferred
  // first when given.
  void exportAsked(QWidget *window,
                   std::optional<interop::Format> preferred = std::nullopt);
  void importAsked(QWidget *parent);
  void openAsked(QWidget *parent);
  // Opens the capture at path read-only, or alerts over parent with the
  // reason.
  CaptureWindow *open(const QString &path, QWidget *parent);
  // The sessions kept, newest first; none when the logs are not written to
  // disk.
  QStringList sessions() const;
  // Keeps the orphaned captures as sessions and offers to open the newest.
  void offerOrphans(QWidget *parent);

  // The read-only windows still open, oldest first.
  std::vector<CaptureWindow *> openWindows() const;

signals:
  // The capture window from asks for rows of its capture origin to be
  // replayed to a device.
  void replayAsked(QWidget *from, const QList<ReplayRow> &rows,
                   const QString &origin);

private:
  std::optional<SessionStore> store_;
  std::map<QWidget *, std::unique_ptr<LogCapture>> captures_;
  std::vector<QPointer<CaptureWindow>> opened_;
};

} // namespace explorer

#endif
