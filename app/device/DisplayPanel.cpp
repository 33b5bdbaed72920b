#include "app/device/DisplayPanel.h"

#include "app/device/TargetWriter.h"
#include "app/framework/AlertPanel.h"
#include "core/reports/ReportDecoder.h"
#include "core/reports/ReportRecord.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace explorer {

namespace {

// What the display shows of a line read back: its characters, a dot for
// each that is not printable, blanks for any not read.
QString HeldLine(const QByteArray &codes) {
  return core::AsciiText(reinterpret_cast<const uint8_t *>(codes.constData()),
                         int(codes.size()))
      .leftJustified(core::kDisplayColumns, u' ');
}

QLabel *Caption(const QString &text, QWidget *buddy) {
  auto *label = new QLabel(text);
  label->setBuddy(buddy);
  return label;
}

} // namespace

DisplayPanel::DisplayPanel(const WindowTarget &target, WindowLog &log,
                           core::InterfaceListeners &listeners,
                           const TargetWriter &writer, QWidget *parent)
    : QGroupBox(QStringLiteral("Display"), parent), writer_(writer),
      reader_(target, log, listeners, writer, *this),
      cursorPopup_(new QComboBox),
      showButton_(new QPushButton(QStringLiteral("Sh&ow"))),
      readBackButton_(new QPushButton(QStringLiteral("Read &Back"))),
      heldView_(new QLabel),
      infraredCheckBox_(new QCheckBox(QStringLiteral("Infrared rece&ption"))) {
  setObjectName(QStringLiteral("displayPanel"));
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  auto *grid = new QGridLayout(this);
  for (int line = 0; line < core::kDisplayLines; ++line) {
    QLineEdit *field = lineFields_[line] = new QLineEdit;
    field->setObjectName(QStringLiteral("displayLine%1Field").arg(line));
    field->setAccessibleName(QStringLiteral("Display line %1").arg(line + 1));
    field->setToolTip(QStringLiteral("Up to %1 printable ASCII characters")
                          .arg(core::kDisplayColumns));
    field->setMaxLength(core::kDisplayColumns);
    field->setFont(fixed);
    field->setMinimumWidth(QFontMetrics(fixed).horizontalAdvance(
        QString(core::kDisplayColumns + 2, 'M')));
    connect(field, &QLineEdit::returnPressed, this, &DisplayPanel::showText);
    grid->addWidget(Caption(QStringLiteral("Line &%1:").arg(line + 1), field),
                    line, 0);
    grid->addWidget(field, line, 1);
  }
  cursorPopup_->setObjectName(QStringLiteral("cursorPopup"));
  cursorPopup_->setAccessibleName(QStringLiteral("Cursor"));
  cursorPopup_->addItem(QStringLiteral("Off"), int(core::DisplayCursor::Off));
  cursorPopup_->addItem(QStringLiteral("Underline"),
                        int(core::DisplayCursor::Underline));
  cursorPopup_->addItem(QStringLiteral("Blinking block"),
                        int(core::DisplayCursor::BlinkingBlock));
  cursorPopup_->setCurrentIndex(2);
  grid->addWidget(Caption(QStringLiteral("C&ursor:"), cursorPopup_), 0, 2);
  grid->addWidget(cursorPopup_, 0, 3);
  infraredCheckBox_->setObjectName(QStringLiteral("infraredCheckBox"));
  infraredCheckBox_->setToolTip(
      QStringLiteral("Switch the device's infrared receiver on or off"));
  grid->addWidget(infraredCheckBox_, 1, 2, 1, 2);
  showButton_->setObjectName(QStringLiteral("showButton"));
  showButton_->setToolTip(
      QStringLiteral("Put the two lines on the display, with the cursor"));
  readBackButton_->setObjectName(QStringLiteral("readBackButton"));
  readBackButton_->setToolTip(
      QStringLiteral("Ask the display for the characters it holds"));
  grid->addWidget(showButton_, 0, 4);
  grid->addWidget(readBackButton_, 1, 4);
  heldView_->setObjectName(QStringLiteral("displayHeldView"));
  heldView_->setAccessibleName(QStringLiteral("Display holds"));
  heldView_->setToolTip(
      QStringLiteral("What the display held at the last Read Back"));
  heldView_->setFont(fixed);
  heldView_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  heldView_->setTextFormat(Qt::PlainText);
  heldView_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  heldView_->setText(HeldLine({}) + '\n' + HeldLine({}));
  grid->addWidget(heldView_, 0, 5, 2, 1);
  grid->setColumnStretch(6, 1);
  connect(showButton_, &QPushButton::clicked, this, &DisplayPanel::showText);
  connect(readBackButton_, &QPushButton::clicked, &reader_, [this] {
    reader_.start();
    refreshControls();
  });
  connect(&reader_, &DisplayReader::ended, this, &DisplayPanel::readBackEnded);
  connect(infraredCheckBox_, &QCheckBox::clicked, this,
          &DisplayPanel::switchInfrared);
  refreshControls();
}

QList<QWidget *> DisplayPanel::tabOrder() const {
  return {lineFields_[0],    lineFields_[1], cursorPopup_,
          infraredCheckBox_, showButton_,    readBackButton_};
}

void DisplayPanel::setTarget(
    const std::optional<core::InterfaceIdentity> &target, bool canSend) {
  for (auto known = infraredOn_.begin(); known != infraredOn_.end();)
    known = core::PositionOfIdentity(known.key()) < 0 ? infraredOn_.erase(known)
                                                      : std::next(known);
  if (target != target_)
    reader_.cancel();
  target_ = target;
  canSend_ = canSend;
  refreshControls();
}

void DisplayPanel::reportLogged(
    bool isOutput, int reportID, int size, const uint8_t *data,
    const std::optional<core::InterfaceIdentity> &source) {
  if (!isOutput || reportID != pinworth::kInfraredReport || size < 1 ||
      data[0] > 1 || !source)
    return;
  infraredOn_[*source] = data[0] == 1;
  if (source == target_)
    refreshControls();
}

// A line the display cannot take is said so, and gets the focus.
void DisplayPanel::showText() {
  if (!canSend_ || reader_.running())
    return;
  QString reason;
  const std::optional<std::vector<core::Interface1Report>> reports =
      core::ShowReports(
          lineFields_[0]->text(), lineFields_[1]->text(),
          core::DisplayCursor(cursorPopup_->currentData().toInt()), &reason);
  if (!reports) {
    RunAlertPanel(window(), QStringLiteral("Invalid display text"), reason);
    for (QLineEdit *field : lineFields_)
      if (!core::DisplayLineCodes(field->text()))
        return field->setFocus();
    return;
  }
  writer_.write(std::move(*reports), *this);
}

// The checkbox shows what was written; one that did not go out leaves it.
void DisplayPanel::switchInfrared(bool on) {
  writer_.write({core::InfraredReport(on)}, *this, [this](bool sent) {
    if (!sent)
      refreshControls();
  });
}

void DisplayPanel::readBackEnded(bool complete, const QByteArray &line0,
                                 const QByteArray &line1) {
  if (complete)
    heldView_->setText(HeldLine(line0) + '\n' + HeldLine(line1));
  refreshControls();
}

void DisplayPanel::refreshControls() {
  const bool idle = canSend_ && !reader_.running();
  showButton_->setEnabled(idle);
  readBackButton_->setEnabled(idle);
  infraredCheckBox_->setEnabled(idle);
  infraredCheckBox_->setChecked(target_ && infraredOn_.value(*target_));
}

} // namespace explorer
