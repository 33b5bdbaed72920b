// The explorer's status bar: what the explorer is doing on the left, always
// shown and current, the report check and the log's rows on the right. The
// texts come from the functions given, read again every frame (60 times a
// second) and whenever refresh() is called; a change of a text's counts
// alone (rows, reports) is shown 5 times a second from the frames, since a
// new text lays the status bar out again. Messages (a paste refused, a
// macro that does not fit, an export done) go to the message bar above the
// form, whole; so does, once, the news that interrupt reports are read at
// normal priority.
#ifndef PINWORTH_EXPLORER_ACTIVITY_STATUS_H
#define PINWORTH_EXPLORER_ACTIVITY_STATUS_H

#include "app/MessageBar.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

class QLabel;
class QStatusBar;

namespace explorer {

class ActivityStatus : public QObject {
  Q_OBJECT
public:
  // The labels go into statusBar, and the message bar to the top of
  // contentView's layout; they own them and outlive this object.
  ActivityStatus(QStatusBar *statusBar, QWidget *contentView,
                 std::function<QString()> activity, std::function<int()> rows);

  void refresh();
  // What does not match in the report the form holds (see ReportForm), or
  // none to hide the check.
  void setReportCheck(const std::optional<QString> &mismatch);
  void showMessage(const QString &text,
                   MessageBar::Kind kind = MessageBar::Kind::Passing,
                   const QString &topic = {});
  MessageBar *messageBar() const { return messages_; }

  // The notices that stand until their cause is resolved: the target was
  // unplugged (and a write sent nothing), until it is back or another is
  // chosen; a macro loaded does not fit the form, until one fits or
  // another interface is chosen.
  void targetUnplugged(const QString &unplugged);
  void nothingSent(const QString &unplugged);
  void targetBack();
  // Read was pressed with no interface to read.
  void nothingToRead();
  void macroMisfit(const std::optional<QString> &misfit);
  void targetChosen();
  QLabel *activityLabel() const { return activityLabel_; }

private:
  void show(bool countsToo);

  QStatusBar *statusBar_;
  std::function<QString()> activity_;
  std::function<int()> rows_;
  QLabel *activityLabel_;
  QLabel *rowsLabel_;
  QLabel *reportCheckLabel_;
  MessageBar *messages_;
  QTimer timer_;
  int frames_ = 0;
  bool priorityNoted_ = false; // the reader's priority was refused, and said
};

} // namespace explorer

#endif
