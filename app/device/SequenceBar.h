// The device area's sequences: the stored sequence list (its own key in the
// preferences file, beside the macros), Run and Stop, the progress of the
// running sequence (with how late its steps went out at worst), and Delete. A
// sequence runs on the interface that was the window's target when Run was
// pressed; it stops at the first step that cannot go out (the target changed,
// was unplugged, or does not take the step's report), naming the step and the
// reason. Every report it sends is logged as the form's writes are.
//
// The log view's context menu gets "Add Sequence from Selection…": the
// selected W rows, with their recorded gaps or a fixed interval, stored
// under a name the user chooses.
//
// Main thread only; the target, the log, the sequence list and the writer
// outlive the bar.
#ifndef PINWORTH_EXPLORER_SEQUENCE_BAR_H
#define PINWORTH_EXPLORER_SEQUENCE_BAR_H

#include "app/device/StepSender.h"
#include "core/runs/Sequence.h"
#include "core/runs/SequenceRunner.h"

#include <QElapsedTimer>
#include <QGroupBox>

class QComboBox;
class QLabel;
class QPushButton;
namespace core {
class UserDefaults;
} // namespace core

namespace explorer {

class TargetWriter;
class WindowLog;
class WindowTarget;

class SequenceBar : public QGroupBox {
  Q_OBJECT
public:
  // sequences is the stored sequence list.
  SequenceBar(const WindowTarget &target, const WindowLog &log,
              core::UserDefaults &sequences, const TargetWriter &writer,
              QWidget *parent = nullptr);

  // Whether Run may start a sequence: not while the target is unplugged.
  void setCanSend(bool canSend);
  QList<QWidget *> tabOrder() const;

private:
  void refill();
  void run();
  void deleteChosen();
  void addFromSelection();
  void showProgress(int round, int step, qint64 lateUS);
  QString latenessText() const;
  void finished(const core::SequenceRunner::Outcome &outcome);
  void refreshButtons();

  const WindowLog &log_;
  StepSender sender_; // aimed at the target when Run was pressed
  core::UserDefaults &sequences_;
  QComboBox *popup_;
  QPushButton *run_;
  QPushButton *stop_;
  QPushButton *delete_;
  QLabel *progress_;
  QList<core::SequenceEntry> shown_;
  quint64 shownGeneration_ = 0;
  core::SequenceRunner runner_;
  QElapsedTimer sinceProgress_;
  qint64 worstLateUS_ = 0; // of the running sequence's steps so far
  bool canSend_ = false;
};

} // namespace explorer

#endif
