// Replaying written reports to a device from an explorer window. "Replay
// Selection to Device…" in the log view's context menu takes the W rows
// selected in the log into this panel (one per window, not modal), as
// offer() does those of a capture's window. The panel names the window's
// target and says so when the rows were written to a device of the other
// model. Start is the confirmation: the reports go to that interface once,
// in order, with the recorded gaps divided by a speed, at a fixed interval,
// or as fast as it takes them, each logged as any write. Pause holds the
// replay, Resume moves its schedule on by the pause, and Stop ends it. The
// first report that is not sent ends it, naming its row (its place in the
// log, from 1) and the reason.
//
// Main thread only; the target, the log and the writer outlive the panel.
#ifndef PINWORTH_EXPLORER_REPLAY_PANEL_H
#define PINWORTH_EXPLORER_REPLAY_PANEL_H

#include "app/device/ReplayRows.h"
#include "app/device/StepSender.h"
#include "core/runs/ReplayPlan.h"
#include "core/runs/SequenceRunner.h"

#include <QDialog>
#include <QElapsedTimer>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace explorer {

class WindowLog;

class ReplayPanel : public QDialog {
  Q_OBJECT
public:
  // A window of its own over parent's window, shown by the log's action.
  ReplayPanel(const WindowTarget &target, const WindowLog &log,
              const TargetWriter &writer, QWidget *parent);

  // Shows the panel with rows (at least one) of the log of origin, a
  // capture's file name, or empty for the window's own; unless a replay
  // runs, which it says.
  void offer(const QList<ReplayRow> &rows, const QString &origin = {});

private:
  // Offers the W rows selected in the log, or alerts when there are none.
  void takeSelection();
  // "row 12", or "row 12 of capture.pwcap".
  QString rowText(int number) const;
  // Names the window's target, and the other model when the rows were
  // written to one.
  void nameTarget();
  void start();
  void pauseOrResume();
  void stepSent(int step);
  // How many reports went out, or that the replay is paused.
  void showProgress();
  void finished(const core::SequenceRunner::Outcome &outcome);
  void refreshControls();
  core::ReplayTiming timing() const;

  const WindowTarget &target_;
  const WindowLog &log_;
  StepSender sender_;
  core::SequenceRunner runner_;
  QList<ReplayRow> rows_;
  QString origin_;
  std::optional<core::InterfaceIdentity> named_; // the target the panel names
  int sent_ = 0;
  QElapsedTimer sinceProgress_;
  QLabel *question_;
  QLabel *modelWarning_;
  QComboBox *timingPopup_;
  QDoubleSpinBox *speedBox_;
  QSpinBox *intervalBox_;
  QPushButton *start_;
  QPushButton *pause_;
  QPushButton *stop_;
  QLabel *progress_;
};

} // namespace explorer

#endif
