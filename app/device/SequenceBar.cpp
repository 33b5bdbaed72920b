#include "app/device/SequenceBar.h"

#include "app/device/SequencePanel.h"
#include "app/device/WindowLog.h"
#include "app/framework/AlertPanel.h"
#include "app/framework/ModalDialog.h"
#include "app/log/LogTableModel.h"
#include "core/preferences/UserDefaults.h"
#include "core/reports/ReportRecord.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace explorer {

namespace {

// The progress line is rewritten at most this often while steps go out.
constexpr int kProgressMS = 50;

QString StepText(const core::SequenceStep &step) {
  return (step.reportID == core::kNoReportID
              ? QString()
              : QStringLiteral("report 0x%1: ")
                    .arg(step.reportID, 2, 16, QChar('0'))) +
         QString::fromLatin1(step.data.toHex(' '));
}

QString RoundText(const core::Sequence &sequence, int round) {
  if (sequence.repeat == 1 && !sequence.everyMS)
    return QString();
  return sequence.everyMS ? QStringLiteral(", round %1").arg(round + 1)
                          : QStringLiteral(", round %1 of %2")
                                .arg(round + 1)
                                .arg(sequence.repeat);
}

} // namespace

SequenceBar::SequenceBar(const WindowTarget &target, const WindowLog &log,
                         core::UserDefaults &sequences,
                         const TargetWriter &writer, QWidget *parent)
    : QGroupBox(QStringLiteral("Sequence"), parent), log_(log),
      sender_(target, writer), sequences_(sequences), popup_(new QComboBox),
      run_(new QPushButton(QStringLiteral("Run"))),
      stop_(new QPushButton(QStringLiteral("Stop"))),
      delete_(new QPushButton(QStringLiteral("Delete"))), progress_(new QLabel),
      runner_(
          [this](const core::SequenceStep &step,
                 core::SequenceRunner::Done done) {
            sender_.send(step, *this, std::move(done));
          },
          this) {
  setObjectName(QStringLiteral("sequenceBar"));
  popup_->setObjectName(QStringLiteral("sequencePopup"));
  popup_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  popup_->setAccessibleName(QStringLiteral("Sequence"));
  run_->setObjectName(QStringLiteral("runSequenceButton"));
  stop_->setObjectName(QStringLiteral("stopSequenceButton"));
  delete_->setObjectName(QStringLiteral("deleteSequenceButton"));
  progress_->setObjectName(QStringLiteral("sequenceProgressLabel"));
  progress_->setWordWrap(true);
  progress_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto *layout = new QHBoxLayout(this);
  auto *label = new QLabel(QStringLiteral("Se&quence:"));
  label->setBuddy(popup_);
  layout->addWidget(label);
  layout->addWidget(popup_);
  layout->addWidget(run_);
  layout->addWidget(stop_);
  layout->addWidget(delete_);
  layout->addWidget(progress_, 1);
  connect(run_, &QPushButton::clicked, this, &SequenceBar::run);
  connect(stop_, &QPushButton::clicked, &runner_, &core::SequenceRunner::stop);
  connect(delete_, &QPushButton::clicked, this, &SequenceBar::deleteChosen);
  connect(&runner_, &core::SequenceRunner::stepSent, this,
          &SequenceBar::showProgress);
  connect(&runner_, &core::SequenceRunner::finished, this,
          &SequenceBar::finished);
  connect(&sequences_, &core::UserDefaults::changed, this, [this] {
    if (sequences_.list().generation != shownGeneration_)
      refill();
  });
  auto *add =
      new QAction(QStringLiteral("Add &Sequence from Selection…"), &log.view());
  connect(add, &QAction::triggered, this, &SequenceBar::addFromSelection);
  log.view().addAction(add);
  refill();
}

void SequenceBar::setCanSend(bool canSend) {
  canSend_ = canSend;
  refreshButtons();
}

QList<QWidget *> SequenceBar::tabOrder() const {
  return {popup_, run_, stop_, delete_};
}

void SequenceBar::refreshButtons() {
  run_->setEnabled(canSend_ && !runner_.isRunning() && !shown_.isEmpty());
  stop_->setEnabled(runner_.isRunning());
  delete_->setEnabled(!runner_.isRunning() && !shown_.isEmpty());
}

void SequenceBar::refill() {
  const core::UserDefaults::List list = sequences_.list();
  shown_ = core::ReadSequences(list);
  shownGeneration_ = list.generation;
  const int chosen = popup_->currentIndex();
  popup_->clear();
  for (const core::SequenceEntry &entry : shown_)
    popup_->addItem(entry.name());
  popup_->setCurrentIndex(
      std::min(std::max(chosen, 0), int(shown_.size()) - 1));
  refreshButtons();
}

void SequenceBar::run() {
  const int index = popup_->currentIndex();
  if (sequences_.list().generation != shownGeneration_ || index < 0)
    return refill();
  const std::optional<core::Sequence> &sequence = shown_[index].sequence();
  if (!sequence)
    return progress_->setText(
        QStringLiteral("This element of the sequence list in %1 is not a "
                       "sequence this version can run.")
            .arg(sequences_.filePath()));
  sender_.aim();
  sinceProgress_.invalidate();
  worstLateUS_ = 0;
  progress_->setText(QStringLiteral("Running \"%1\"…").arg(sequence->name));
  runner_.start(*sequence);
  refreshButtons();
}

QString SequenceBar::latenessText() const {
  return QStringLiteral(", at most %1 ms late")
      .arg(double(worstLateUS_) / 1000, 0, 'f', 1);
}

void SequenceBar::showProgress(int round, int step, qint64 lateUS) {
  worstLateUS_ = std::max(worstLateUS_, lateUS);
  if (sinceProgress_.isValid() && sinceProgress_.elapsed() < kProgressMS)
    return;
  sinceProgress_.start();
  const core::Sequence &sequence = runner_.sequence();
  progress_->setText(QStringLiteral("Running \"%1\": step %2 of %3%4%5.")
                         .arg(sequence.name)
                         .arg(step + 1)
                         .arg(sequence.steps.size())
                         .arg(RoundText(sequence, round), latenessText()));
}

void SequenceBar::finished(const core::SequenceRunner::Outcome &outcome) {
  const core::Sequence &sequence = runner_.sequence();
  using Result = core::SequenceRunner::Outcome::Result;
  if (outcome.result == Result::Done)
    progress_->setText(
        QStringLiteral("\"%1\" ran: all %2 steps sent%3%4.")
            .arg(sequence.name)
            .arg(sequence.steps.size())
            .arg(sequence.repeat > 1
                     ? QStringLiteral(", %1 times").arg(sequence.repeat)
                     : QString(),
                 latenessText()));
  else
    progress_->setText(
        QStringLiteral("\"%1\" %2 step %3 of %4%5 (%6)%7")
            .arg(sequence.name, outcome.result == Result::Stopped
                                    ? QStringLiteral("stopped before")
                                    : QStringLiteral("failed at"))
            .arg(outcome.step + 1)
            .arg(sequence.steps.size())
            .arg(RoundText(sequence, outcome.round),
                 StepText(sequence.steps[outcome.step]),
                 outcome.result == Result::Stopped
                     ? QStringLiteral(".")
                     : QStringLiteral(": ") + outcome.error + "."));
  refreshButtons();
}

// After the user confirms: a sequence, unlike a macro, cannot be brought
// back.
void SequenceBar::deleteChosen() {
  const int index = popup_->currentIndex();
  const quint64 generation = shownGeneration_;
  QMessageBox ask(QMessageBox::Question, QStringLiteral("Delete Sequence"),
                  QStringLiteral("Delete the sequence \"%1\"? It cannot be "
                                 "brought back.")
                      .arg(popup_->currentText()),
                  QMessageBox::Cancel, window());
  const QPushButton *confirm =
      ask.addButton(QStringLiteral("Delete"), QMessageBox::DestructiveRole);
  ask.setDefaultButton(QMessageBox::Cancel);
  if (RunModal(ask); ask.clickedButton() != confirm)
    return;
  const core::UserDefaults::Outcome outcome =
      sequences_.change([&](const core::UserDefaults::List &list) {
        std::optional<QList<QByteArray>> texts;
        if (list.generation != generation || index < 0 ||
            index >= list.elements.size())
          return texts;
        texts = list.texts();
        texts->removeAt(index);
        return texts;
      });
  refill();
  if (outcome.result == core::UserDefaults::Outcome::Failed)
    RunAlertPanel(window(), QStringLiteral("Sequence not deleted"),
                  QStringLiteral("The sequence list was left as it is: %1.")
                      .arg(outcome.error));
}

// The selected W rows, each after the recorded gap since the row before it
// (the first at once), or the fixed interval.
void SequenceBar::addFromSelection() {
  const LogTableModel &log = log_.model();
  QList<int> written;
  for (int report : log_.selectedReports())
    if (log.record(report).direction == core::kReportDirectionOut)
      written.append(report);
  if (written.isEmpty())
    return RunAlertPanel(window(), QStringLiteral("No sequence added"),
                         QStringLiteral("Select the written reports (W rows) "
                                        "of the log that the sequence sends."));
  const std::optional<SequenceChoice> choice =
      ChooseSequence(window(), int(written.size()));
  if (!choice)
    return;
  core::Sequence sequence{choice->name, {}, choice->repeat, choice->everyMS};
  for (qsizetype at = 0; at < written.size(); ++at) {
    const core::ReportRecord record = log.record(written[at]);
    const int64_t gapUS =
        at == 0 ? 0 : log.time(written[at]) - log.time(written[at - 1]);
    const int delayMS =
        at == 0 ? 0
                : choice->intervalMS.value_or(int(std::min<int64_t>(
                      (gapUS + 500) / 1000, core::SequenceStep::kMaxDelayMS)));
    sequence.steps.append({delayMS, record.reportID, record.data});
  }
  const core::SequenceEntry entry(sequence);
  const core::UserDefaults::Outcome outcome =
      entry.isTooLarge()
          ? core::UserDefaults::
                Outcome{core::UserDefaults::Outcome::Failed,
                        QStringLiteral("it would take more than %1 "
                                       "bytes in the preferences "
                                       "file")
                            .arg(core::UserDefaults::kElementMaxBytes)}
          : sequences_.change([&](const core::UserDefaults::List &list) {
              QList<QByteArray> texts = list.texts();
              texts.append(entry.text());
              return std::optional(texts);
            });
  refill();
  if (outcome.result == core::UserDefaults::Outcome::Failed)
    return RunAlertPanel(window(), QStringLiteral("Sequence not saved"),
                         QStringLiteral("The sequence \"%1\" was not stored: "
                                        "%2.")
                             .arg(choice->name.left(40), outcome.error));
  popup_->setCurrentIndex(popup_->count() - 1);
}

} // namespace explorer
