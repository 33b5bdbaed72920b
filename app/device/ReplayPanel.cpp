#include "app/device/ReplayPanel.h"

#include "app/device/WindowLog.h"
#include "app/device/WindowTarget.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace explorer {

namespace {

// How often the progress is shown at most while reports go out.
constexpr int kProgressMS = 100;

QPushButton *Button(const QString &text, const char *name) {
  auto *button = new QPushButton(text);
  button->setObjectName(QLatin1String(name));
  button->setAutoDefault(false);
  return button;
}

QLabel *WrappedLabel(const char *name) {
  auto *label = new QLabel;
  label->setObjectName(QLatin1String(name));
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

} // namespace

ReplayPanel::ReplayPanel(const WindowTarget &target, const WindowLog &log,
                         const TargetWriter &writer, QWidget *parent)
    : QDialog(parent), target_(target), log_(log), sender_(target, writer),
      runner_(
          [this](const core::SequenceStep &step,
                 core::SequenceRunner::Done done) {
            sender_.send(step, *this, std::move(done));
          },
          this),
      question_(WrappedLabel("replayQuestionLabel")),
      modelWarning_(WrappedLabel("replayModelLabel")),
      timingPopup_(new QComboBox), speedBox_(new QDoubleSpinBox),
      intervalBox_(new QSpinBox),
      start_(Button(QStringLiteral("&Start"), "startReplayButton")),
      pause_(Button(QStringLiteral("&Pause"), "pauseReplayButton")),
      stop_(Button(QStringLiteral("S&top"), "stopReplayButton")),
      progress_(WrappedLabel("replayProgressLabel")) {
  setObjectName(QStringLiteral("replayPanel"));
  setWindowTitle(QStringLiteral("Replay to Device"));
  timingPopup_->setObjectName(QStringLiteral("replayTimingPopup"));
  timingPopup_->addItems({QStringLiteral("As recorded, speed:"),
                          QStringLiteral("Fixed interval:"),
                          QStringLiteral("As fast as it takes them")});
  speedBox_->setObjectName(QStringLiteral("replaySpeedBox"));
  speedBox_->setRange(core::ReplayTiming::kMinSpeed,
                      core::ReplayTiming::kMaxSpeed);
  speedBox_->setDecimals(1);
  speedBox_->setSingleStep(0.1);
  speedBox_->setPrefix(QStringLiteral("×"));
  speedBox_->setValue(1);
  intervalBox_->setObjectName(QStringLiteral("replayIntervalBox"));
  intervalBox_->setRange(1, core::SequenceStep::kMaxDelayMS);
  intervalBox_->setSuffix(QStringLiteral(" ms"));
  intervalBox_->setValue(100);
  modelWarning_->hide();
  start_->setDefault(true); // Return confirms, not Close

  auto *form = new QFormLayout(this);
  form->addRow(question_);
  form->addRow(modelWarning_);
  auto *timing = new QHBoxLayout;
  timing->addWidget(timingPopup_);
  timing->addWidget(speedBox_);
  timing->addWidget(intervalBox_);
  timing->addStretch(1);
  auto *timingLabel = new QLabel(QStringLiteral("T&iming:"));
  timingLabel->setBuddy(timingPopup_);
  form->addRow(timingLabel, timing);
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  buttons->button(QDialogButtonBox::Close)->setAutoDefault(false);
  buttons->addButton(start_, QDialogButtonBox::ActionRole);
  buttons->addButton(pause_, QDialogButtonBox::ActionRole);
  buttons->addButton(stop_, QDialogButtonBox::ActionRole);
  form->addRow(buttons);
  form->addRow(progress_);
  setMinimumWidth(fontMetrics().averageCharWidth() * 60);

  connect(timingPopup_, &QComboBox::currentIndexChanged, this,
          &ReplayPanel::refreshControls);
  connect(start_, &QPushButton::clicked, this, &ReplayPanel::start);
  connect(pause_, &QPushButton::clicked, this, &ReplayPanel::pauseOrResume);
  connect(stop_, &QPushButton::clicked, &runner_, &core::SequenceRunner::stop);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(this, &QDialog::rejected, &runner_, &core::SequenceRunner::stop);
  connect(&runner_, &core::SequenceRunner::stepSent, this,
          [this](int, int step, qint64) { stepSent(step); });
  connect(&runner_, &core::SequenceRunner::finished, this,
          &ReplayPanel::finished);

  auto *replay =
      new QAction(QStringLiteral("&Replay Selection to Device…"), &log.view());
  connect(replay, &QAction::triggered, this, &ReplayPanel::takeSelection);
  log.view().addAction(replay);
  refreshControls();
}

void ReplayPanel::takeSelection() {
  const QList<ReplayRow> rows =
      WrittenRows(log_.model(), log_.selectedReports());
  if (rows.isEmpty())
    return AlertNoWrittenRows(parentWidget()->window());
  offer(rows);
}

void ReplayPanel::offer(const QList<ReplayRow> &rows, const QString &origin) {
  if (runner_.isRunning()) {
    progress_->setText(QStringLiteral("A replay is under way: stop it before "
                                      "taking another selection."));
  } else {
    rows_ = rows;
    origin_ = origin;
    sent_ = 0;
    progress_->clear();
    nameTarget();
  }
  show();
  raise();
  activateWindow();
  start_->setFocus();
}

QString ReplayPanel::rowText(int number) const {
  return origin_.isEmpty() ? QStringLiteral("row %1").arg(number)
                           : QStringLiteral("row %1 of %2")
                                 .arg(QString::number(number), origin_);
}

void ReplayPanel::nameTarget() {
  named_ = target_.selected();
  if (!named_) {
    question_->setText(QStringLiteral("There is no interface to replay to: "
                                      "select one in the window."));
    modelWarning_->hide();
    return refreshControls();
  }
  const QString reports =
      rows_.size() == 1
          ? QStringLiteral("1 written report")
          : QStringLiteral("%1 written reports").arg(rows_.size());
  question_->setText(origin_.isEmpty()
                         ? QStringLiteral("Replay %1 to %2?")
                               .arg(reports, named_->displayName())
                         : QStringLiteral("Replay %1 of %2 to %3?")
                               .arg(reports, origin_, named_->displayName()));
  const auto other =
      std::find_if(rows_.begin(), rows_.end(), [&](const ReplayRow &row) {
        return !row.model.isEmpty() && row.model != named_->modelName();
      });
  modelWarning_->setVisible(other != rows_.end());
  if (other != rows_.end())
    modelWarning_->setText(
        QStringLiteral("They were written to a %1; they go to this %2 all the "
                       "same.")
            .arg(other->model, named_->modelName()));
  refreshControls();
}

core::ReplayTiming ReplayPanel::timing() const {
  return {core::ReplayTiming::Kind(timingPopup_->currentIndex()),
          speedBox_->value(), intervalBox_->value()};
}

// A target that changed since the panel named it is named first, and
// nothing goes out until Start is pressed again.
void ReplayPanel::start() {
  if (rows_.isEmpty() || runner_.isRunning())
    return;
  if (target_.selected() != named_) {
    nameTarget();
    return progress_->setText(
        named_ ? QStringLiteral("The window's target changed: press Start to "
                                "replay to %1.")
                     .arg(named_->displayName())
               : QString());
  }
  QList<core::WrittenReport> reports;
  for (const ReplayRow &row : rows_)
    reports.append(row.report);
  sender_.aim();
  sent_ = 0;
  sinceProgress_.invalidate();
  progress_->setText(QStringLiteral("Replaying…"));
  runner_.start(
      core::ReplaySequence(QStringLiteral("replay"), reports, timing()));
  refreshControls();
}

void ReplayPanel::pauseOrResume() {
  if (runner_.isPaused())
    runner_.resume();
  else
    runner_.pause();
  showProgress();
  refreshControls();
}

void ReplayPanel::stepSent(int step) {
  sent_ = step + 1;
  if (runner_.isPaused() || !sinceProgress_.isValid() ||
      sinceProgress_.elapsed() >= kProgressMS || sent_ == rows_.size())
    showProgress();
}

void ReplayPanel::showProgress() {
  sinceProgress_.start();
  progress_->setText((runner_.isPaused()
                          ? QStringLiteral("Paused: %1 of %2 sent.")
                          : QStringLiteral("Sent %1 of %2."))
                         .arg(sent_)
                         .arg(rows_.size()));
}

void ReplayPanel::finished(const core::SequenceRunner::Outcome &outcome) {
  using Result = core::SequenceRunner::Outcome::Result;
  switch (outcome.result) {
  case Result::Done:
    progress_->setText(
        QStringLiteral("Done: all %1 reports sent.").arg(rows_.size()));
    break;
  case Result::Stopped: // a report in flight went out
    progress_->setText(QStringLiteral("Stopped: %1 of %2 reports sent.")
                           .arg(outcome.round * rows_.size() + outcome.step)
                           .arg(rows_.size()));
    break;
  case Result::Failed:
    progress_->setText(
        QStringLiteral("Stopped at %1: %2. %3 of %4 reports sent.")
            .arg(rowText(rows_[outcome.step].number), outcome.error)
            .arg(outcome.step)
            .arg(rows_.size()));
    break;
  }
  refreshControls();
}

void ReplayPanel::refreshControls() {
  const bool running = runner_.isRunning();
  const core::ReplayTiming::Kind kind =
      core::ReplayTiming::Kind(timingPopup_->currentIndex());
  timingPopup_->setEnabled(!running);
  speedBox_->setEnabled(!running && kind == core::ReplayTiming::Recorded);
  intervalBox_->setEnabled(!running && kind == core::ReplayTiming::Interval);
  start_->setEnabled(!running && named_ && !rows_.isEmpty());
  pause_->setEnabled(running);
  pause_->setText(runner_.isPaused() ? QStringLiteral("&Resume")
                                     : QStringLiteral("&Pause"));
  stop_->setEnabled(running);
}

} // namespace explorer
