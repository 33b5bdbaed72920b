// The explorer's status bar: what the explorer is doing on the left, the
// report check and the log's rows on the right, and passing messages (a
// paste refused, a macro that does not fit, an export done) for a few
// seconds. The texts come from the functions given, read again four times a
// second and whenever refresh() is called.
#ifndef PINWORTH_EXPLORER_ACTIVITY_STATUS_H
#define PINWORTH_EXPLORER_ACTIVITY_STATUS_H

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

class QLabel;
class QStatusBar;

class ActivityStatus : public QObject {
  Q_OBJECT
public:
  // The labels go into statusBar, which owns them and outlives this object.
  ActivityStatus(QStatusBar *statusBar, std::function<QString()> activity,
                 std::function<int()> rows);

  void refresh();
  // What does not match in the report the form holds (see ReportForm), or
  // none to hide the check.
  void setReportCheck(const std::optional<QString> &mismatch);
  void showMessage(const QString &text);

private:
  QStatusBar *statusBar_;
  std::function<QString()> activity_;
  std::function<int()> rows_;
  QLabel *activityLabel_;
  QLabel *rowsLabel_;
  QLabel *reportCheckLabel_;
  QTimer timer_;
};

#endif
