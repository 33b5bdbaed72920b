#include "device_simulator/StressPanel.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>

StressPanel::StressPanel(hid::sim::SimBackend &backend, QWidget *parent)
    : QGroupBox(tr("Stress: interface 1 reports"), parent), backend_(backend),
      rate_(new QSpinBox), count_(new QSpinBox), start_(new QPushButton),
      sent_(new QLabel) {
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
  connect(start_, &QPushButton::clicked, this, &StressPanel::startOrStop);

  auto *row = new QHBoxLayout;
  row->addWidget(start_);
  row->addWidget(sent_, 1);
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
  std::unique_ptr<ReportGenerator> &generator = generators_[device];
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
  generator->start(rate_->value(), uint64_t(count_->value()));
  showRun();
}

void StressPanel::forget(hid::sim::DeviceID device) {
  generators_.erase(device);
}

void StressPanel::showDevice(std::optional<hid::sim::DeviceID> device) {
  device_ = device;
  showRun();
}

void StressPanel::showRun() {
  start_->setEnabled(bool(device_));
  const auto found = device_ ? generators_.find(*device_) : generators_.end();
  const ReportGenerator *generator =
      found != generators_.end() ? found->second.get() : nullptr;
  const bool running = generator && generator->running();
  const uint64_t sent = generator ? generator->sent() : 0;
  start_->setText(running ? tr("Stop") : tr("Start"));
  sent_->setText(tr("%1 sent%2")
                     .arg(QLocale().toString(qulonglong(sent)))
                     .arg(running ? tr(", sending…") : QString()));
}
