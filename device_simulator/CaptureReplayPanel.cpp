#include "device_simulator/CaptureReplayPanel.h"

#include "capture/CaptureReader.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace simulator {

namespace {

QString DeviceText(hid::sim::Model model, const QString &serialNumber) {
  return QStringLiteral("%1 (SN %2)")
      .arg(QLatin1String(hid::sim::ModelName(model)), serialNumber);
}

QString Seconds(int64_t us) {
  return QString::number(double(us) / 1e6, 'f', 3) + QStringLiteral(" s");
}

} // namespace

CaptureReplayPanel::CaptureReplayPanel(hid::sim::SimBackend &backend,
                                       QWidget *parent)
    : QGroupBox(tr("Replay a capture"), parent), backend_(backend),
      open_(new QPushButton(tr("&Open Capture…"))), speed_(new QDoubleSpinBox),
      loop_(new QCheckBox(tr("&Loop"))), pause_(new QPushButton(tr("P&ause"))),
      step_(new QPushButton(tr("S&tep"))),
      stop_(new QPushButton(tr("Stop Repla&y"))), status_(new QLabel) {
  setObjectName(QStringLiteral("captureReplayPanel"));
  open_->setObjectName(QStringLiteral("replayOpenButton"));
  speed_->setObjectName(QStringLiteral("replaySpeedBox"));
  loop_->setObjectName(QStringLiteral("replayLoopCheckBox"));
  pause_->setObjectName(QStringLiteral("replayPauseButton"));
  step_->setObjectName(QStringLiteral("replayStepButton"));
  stop_->setObjectName(QStringLiteral("replayStopButton"));
  status_->setObjectName(QStringLiteral("replayStatusLabel"));
  status_->setWordWrap(true);
  speed_->setRange(hid::sim::SimReplay::kMinSpeed,
                   hid::sim::SimReplay::kMaxSpeed);
  speed_->setDecimals(1);
  speed_->setSingleStep(0.1);
  speed_->setValue(1);
  speed_->setPrefix(QStringLiteral("×"));
  auto *speedLabel = new QLabel(tr("Spee&d:"));
  speedLabel->setBuddy(speed_);
  auto *grid = new QGridLayout(this);
  grid->addWidget(open_, 0, 0);
  grid->addWidget(speedLabel, 0, 1);
  grid->addWidget(speed_, 0, 2);
  grid->addWidget(loop_, 0, 3);
  grid->addWidget(pause_, 1, 0);
  grid->addWidget(step_, 1, 1, 1, 2);
  grid->addWidget(stop_, 1, 3);
  grid->addWidget(status_, 2, 0, 1, 4);
  connect(open_, &QPushButton::clicked, this,
          &CaptureReplayPanel::askForCapture);
  connect(speed_, &QDoubleSpinBox::valueChanged, this, [this](double speed) {
    if (replay_)
      replay_->setSpeed(speed);
  });
  connect(loop_, &QCheckBox::toggled, this, [this](bool loop) {
    if (replay_)
      replay_->setLoop(loop);
  });
  connect(pause_, &QPushButton::clicked, this, [this] {
    if (replay_->progress().paused)
      replay_->resume();
    else
      replay_->pause();
    showProgress();
  });
  connect(step_, &QPushButton::clicked, this, [this] {
    replay_->step();
    showProgress();
  });
  connect(stop_, &QPushButton::clicked, this, &CaptureReplayPanel::stop);
  progress_.setInterval(kProgressMS);
  connect(&progress_, &QTimer::timeout, this,
          &CaptureReplayPanel::showProgress);
  status_->setText(tr("No capture is playing."));
  refreshButtons();
}

CaptureReplayPanel::~CaptureReplayPanel() = default;

void CaptureReplayPanel::showDevice(std::optional<hid::sim::DeviceID> device) {
  device_ = device;
  refreshButtons();
}

bool CaptureReplayPanel::play(const QString &path, hid::sim::DeviceID device) {
  stop();
  std::string why;
  const std::unique_ptr<capture::CaptureReader> reader =
      capture::CaptureReader::open(path.toStdString(), &why);
  std::optional<hid::sim::RecordedDevice> recorded;
  if (reader)
    recorded = hid::sim::RecordedReads(*reader);
  const QString name = QFileInfo(path).fileName();
  if (!recorded) {
    status_->setText(
        reader ? tr("%1 has no report read from a device to play.").arg(name)
               : tr("%1 cannot be played: %2")
                     .arg(name, QString::fromStdString(why)));
    return false;
  }
  play(name, std::move(*recorded), device);
  return true;
}

void CaptureReplayPanel::play(const QString &what,
                              hid::sim::RecordedDevice recorded,
                              hid::sim::DeviceID device) {
  stop();
  playing_ = tr("%1 (recorded from %2)")
                 .arg(what, DeviceText(recorded.model,
                                       QString::number(recorded.serialNumber)));
  for (const hid::sim::SimBackend::DeviceListing &listing : backend_.devices())
    if (listing.id == device)
      target_ = DeviceText(listing.model,
                           QString::fromStdString(listing.serial.value_or("")));
  replay_ = std::make_unique<hid::sim::SimReplay>(
      backend_, device, std::move(recorded.reports), speed_->value(),
      loop_->isChecked());
  shownSent_ = SIZE_MAX;
  progress_.start();
  showProgress();
}

void CaptureReplayPanel::stop() {
  if (!replay_)
    return;
  const hid::sim::DeviceID device = replay_->device();
  const hid::sim::SimReplay::Progress last = replay_->progress();
  replay_.reset();
  progress_.stop();
  status_->setText(tr("Stopped after %1 of %2 reports; %3 reads its own "
                      "levels again.")
                       .arg(last.sent)
                       .arg(last.total)
                       .arg(target_));
  refreshButtons();
  emit progressed(device);
}

void CaptureReplayPanel::forget(hid::sim::DeviceID device) {
  if (replay_ && replay_->device() == device)
    stop();
}

void CaptureReplayPanel::askForCapture() {
  // Not modal: the devices go on answering while the user looks. So that
  // the dialog raises no modal question of its own, with no modal scope, any
  // name is taken (play() says what is wrong with it) and it changes no file
  // (no Delete, which asks first).
  auto *dialog = new QFileDialog(this, tr("Replay a Capture"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setOption(QFileDialog::ReadOnly);
  dialog->setNameFilters(
      {tr("Pinworth captures (*.pwcap)"), tr("All files (*)")});
  const hid::sim::DeviceID device = *device_;
  connect(dialog, &QFileDialog::fileSelected, this,
          [this, device](const QString &path) { play(path, device); });
  dialog->show();
}

void CaptureReplayPanel::showProgress() {
  if (!replay_)
    return;
  const hid::sim::SimReplay::Progress now = replay_->progress();
  QString state = now.finished ? tr("Done")
                  : now.paused ? tr("Paused")
                               : tr("Playing");
  QString text = tr("%1: %2 into %3. %4 of %5 reports, at %6")
                     .arg(state, playing_, target_)
                     .arg(now.sent)
                     .arg(now.total)
                     .arg(Seconds(now.atUS));
  if (now.passes > 0)
    text += tr(", pass %1").arg(now.passes + 1);
  if (now.finished)
    text += tr("; %1 reads its own levels again").arg(target_);
  status_->setText(text + QLatin1Char('.'));
  pause_->setText(now.paused ? tr("Resu&me") : tr("P&ause"));
  const hid::sim::DeviceID device = replay_->device();
  if (now.finished) { // the device's own levels come back
    progress_.stop();
    replay_.reset();
  }
  refreshButtons();
  if (now.sent != shownSent_ || now.finished) {
    shownSent_ = now.sent;
    emit progressed(device);
  }
}

void CaptureReplayPanel::refreshButtons() {
  const bool playing = replay_ && !replay_->progress().finished;
  open_->setEnabled(device_.has_value());
  pause_->setEnabled(playing);
  step_->setEnabled(playing);
  stop_->setEnabled(replay_ != nullptr);
}

} // namespace simulator
