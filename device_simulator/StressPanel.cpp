#include "device_simulator/StressPanel.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>

namespace simulator {

StressPanel::StressPanel(hid::sim::SimBackend &backend, QWidget *parent)
    : QGroupBox(tr("Stress: interface 1 reports"), parent), backend_(backend),
      rate_(new QSpinBox), count_(new QSpinBox), start_(new QPushButton),
      sent_(new QLabel), overrun_(new QLabel), dropped_(new QLabel) {
  rate_->setObjectName(QStringLiteral("rateBox"));
  rate_->setRange(ReportGenerator::kMinRate, ReportGenerator::kMaxRate);
  rate_->setSingleStep(100);
  rate_->setValue(1000);
  rate_->setSuffix(tr(" /s"));
  count_->setObjectName(QStringLiteral("countBox"));
  count_->setRange(0, 100000000);
  count_->setSingleStep(1000);
  count_->setValue(10000);
  count_->setSpecialValueText(tr("until stopped"));
  start_->setObjectName(QStringLiteral("stressButton"));
  sent_->setObjectName(QStringLiteral("sentLabel"));
  overrun_->setObjectName(QStringLiteral("overrunLabel"));
  overrun_->setToolTip(tr("Reports of this run the device's queue had no room "
                          "for: a bus carries at most 3 in each 125 us "
                          "microframe, so a device that falls behind by more "
                          "than its queue never sends them"));
  dropped_->setObjectName(QStringLiteral("droppedLabel"));
  dropped_->setToolTip(tr("Reports of this run the kernel's queue had no "
                          "room for: sent, and never read by the explorer"));
  connect(start_, &QPushButton::clicked, this, &StressPanel::startOrStop);

  auto *row = new QHBoxLayout;
  row->addWidget(start_);
  row->addWidget(sent_);
  row->addWidget(overrun_);
  row->addWidget(dropped_, 1);
  auto *form = new QFormLayout(this);
  form->addRow(tr("Rate:"), rate_);
  form->addRow(tr("Count:"), count_);
  form->addRow(row);
  showDevice(std::nullopt);
}

StressPanel::~StressPanel() = default;

void StressPanel::startOrStop() {
  if (!device_)
    return;
  const hid::sim::DeviceID device = *device_;
  Run &run = runs_[device];
  std::unique_ptr<ReportGenerator> &generator = run.generator;
  if (generator && generator->running()) {
    generator->stop();
    showRun();
    return;
  }
  if (!generator)
    generator = std::make_unique<ReportGenerator>(
        [this, device](const std::vector<uint8_t> &report) {
          backend_.sendInputReport(device, 1, report);
        },
        [this, device] {
          if (device_ == device)
            showRun();
        });
  run.droppedBefore = backend_.kernelDropped(device, 1);
  generator->start(rate_->value(), uint64_t(count_->value()));
  showRun();
}

void StressPanel::forget(hid::sim::DeviceID device) {
  runs_.erase(device);
}

void StressPanel::showDevice(std::optional<hid::sim::DeviceID> device) {
  device_ = device;
  showRun();
}

void StressPanel::showRun() {
  start_->setEnabled(bool(device_));
  const auto found = device_ ? runs_.find(*device_) : runs_.end();
  const ReportGenerator *generator =
      found != runs_.end() ? found->second.generator.get() : nullptr;
  const bool running = generator && generator->running();
  const uint64_t sent = generator ? generator->sent() : 0;
  const uint64_t dropped = generator ? backend_.kernelDropped(*device_, 1) -
                                           found->second.droppedBefore
                                     : 0;
  start_->setText(running ? tr("Stop") : tr("Start"));
  const uint64_t overrun = generator ? generator->overrun() : 0;
  sent_->setText(tr("%1 sent,").arg(QLocale().toString(qulonglong(sent))));
  overrun_->setText(tr("%1 overrun on the device,")
                        .arg(QLocale().toString(qulonglong(overrun))));
  dropped_->setText(tr("%1 dropped in the kernel queue%2")
                        .arg(QLocale().toString(qulonglong(dropped)))
                        .arg(running ? tr(", sending…") : QString()));
}

} // namespace simulator
