#include "StressPanel.h"

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

StressPanel::~StressPanel() {
  for (auto &[device, run] : runs_)
    run.generator->stop();
}

void StressPanel::startOrStop() {
  if (!device_)
    return;
  const hid::sim::DeviceID device = *device_;
  Run &run = runs_[device];
  if (run.running) {
    run.generator->stop();
    return;
  }
  const int number = ++run.number;
  run.generator = std::make_unique<ReportGenerator>(
      [this, device](const std::vector<uint8_t> &report) {
        backend_.sendInputReport(device, 1, report);
      },
      [this, device, number](uint64_t sent, bool running) {
        progressed(device, number, sent, running);
      });
  run.running = true;
  run.sent = 0;
  run.generator->start(rate_->value(), uint64_t(count_->value()));
  showRun();
}

void StressPanel::progressed(hid::sim::DeviceID device, int number,
                             uint64_t sent, bool running) {
  QMetaObject::invokeMethod(
      this,
      [this, device, number, sent, running] {
        auto found = runs_.find(device);
        if (found == runs_.end() || found->second.number != number)
          return;
        found->second.sent = sent;
        found->second.running = running;
        if (device_ == device)
          showRun();
      },
      Qt::QueuedConnection);
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
  const bool running = found != runs_.end() && found->second.running;
  const uint64_t sent = found != runs_.end() ? found->second.sent : 0;
  start_->setText(running ? tr("Stop") : tr("Start"));
  sent_->setText(tr("%1 sent%2")
                     .arg(QLocale().toString(qulonglong(sent)))
                     .arg(running ? tr(", sending…") : QString()));
}
