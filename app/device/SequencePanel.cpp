#include "app/device/SequencePanel.h"

#include "app/framework/ModalDialog.h"
#include "core/runs/Sequence.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

namespace explorer {

namespace {

// A box of 1..high, at value; in milliseconds when ms.
QSpinBox *NumberBox(const char *name, int high, int value, bool ms) {
  auto *box = new QSpinBox;
  box->setObjectName(QLatin1String(name));
  box->setRange(1, high);
  if (ms)
    box->setSuffix(QStringLiteral(" ms"));
  box->setValue(value);
  return box;
}

} // namespace

std::optional<SequenceChoice> ChooseSequence(QWidget *parent, int steps) {
  QDialog panel(parent);
  panel.setObjectName(QStringLiteral("sequencePanel"));
  panel.setWindowTitle(QStringLiteral("Add Sequence"));
  auto *form = new QFormLayout(&panel);
  auto *name = new QLineEdit;
  name->setObjectName(QStringLiteral("sequenceNameField"));
  form->addRow(QStringLiteral("&Name:"), name);

  auto *recorded = new QRadioButton(QStringLiteral("As &recorded"));
  auto *fixed = new QRadioButton(QStringLiteral("&Fixed:"));
  recorded->setChecked(true);
  QSpinBox *interval = NumberBox("sequenceIntervalBox",
                                 core::SequenceStep::kMaxDelayMS, 100, true);
  auto *gaps = new QHBoxLayout;
  gaps->addWidget(recorded);
  gaps->addWidget(fixed);
  gaps->addWidget(interval);
  form->addRow(QStringLiteral("Gaps between the %1 reports:").arg(steps), gaps);

  auto *runs = new QComboBox;
  runs->setObjectName(QStringLiteral("sequenceRunsPopup"));
  runs->addItems({QStringLiteral("Once"), QStringLiteral("Times:"),
                  QStringLiteral("Every:")});
  QSpinBox *times =
      NumberBox("sequenceTimesBox", core::Sequence::kMaxRepeat, 2, false);
  QSpinBox *every = NumberBox("sequenceEveryBox",
                              core::SequenceStep::kMaxDelayMS, 1000, true);
  auto *running = new QHBoxLayout;
  running->addWidget(runs);
  running->addWidget(times);
  running->addWidget(every);
  auto *runsLabel = new QLabel(QStringLiteral("R&uns:"));
  runsLabel->setBuddy(runs);
  form->addRow(runsLabel, running);
  const auto follow = [&] {
    interval->setEnabled(fixed->isChecked());
    times->setVisible(runs->currentIndex() == 1);
    every->setVisible(runs->currentIndex() == 2);
  };
  QObject::connect(fixed, &QRadioButton::toggled, &panel, follow);
  QObject::connect(runs, &QComboBox::currentIndexChanged, &panel, follow);
  follow();

  auto *buttons =
      new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &panel,
                   &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &panel,
                   &QDialog::reject);
  form->addRow(buttons);
  QWidget *previous = name;
  for (QWidget *next :
       QList<QWidget *>{recorded, fixed, interval, runs, times, every, buttons})
    QWidget::setTabOrder(std::exchange(previous, next), next);

  if (RunModal(panel) != QDialog::Accepted)
    return std::nullopt;
  SequenceChoice choice{name->text(), std::nullopt, 1, std::nullopt};
  if (fixed->isChecked())
    choice.intervalMS = interval->value();
  if (runs->currentIndex() == 1)
    choice.repeat = times->value();
  if (runs->currentIndex() == 2)
    choice.everyMS = every->value();
  return choice;
}

} // namespace explorer
