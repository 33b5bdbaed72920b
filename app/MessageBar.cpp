#include "app/MessageBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace explorer {

namespace {

constexpr int kPassingMS = 8000;

} // namespace

MessageBar::MessageBar(QWidget *parent)
    : QFrame(parent), label_(new QLabel(this)) {
  setObjectName(QStringLiteral("messageBar"));
  setFrameShape(QFrame::StyledPanel);
  setAccessibleName(QStringLiteral("Message"));
  label_->setObjectName(QStringLiteral("messageText"));
  label_->setWordWrap(true);
  label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto *dismiss = new QPushButton(QStringLiteral("Dismiss"), this);
  dismiss->setObjectName(QStringLiteral("dismissMessageButton"));
  connect(dismiss, &QPushButton::clicked, this, &QWidget::hide);
  auto *layout = new QHBoxLayout(this);
  layout->addWidget(label_, 1);
  layout->addWidget(dismiss, 0, Qt::AlignTop);
  passing_.setSingleShot(true);
  passing_.setInterval(kPassingMS);
  connect(&passing_, &QTimer::timeout, this, &QWidget::hide);
  hide();
}

void MessageBar::show(const QString &text, Kind kind, const QString &topic) {
  label_->setText(text);
  topic_ = topic;
  if (kind == Kind::Passing)
    passing_.start();
  else
    passing_.stop();
  QFrame::show();
}

void MessageBar::clear(const QString &topic) {
  if (!topic.isEmpty() && topic_ == topic)
    hide();
}

QString MessageBar::text() const {
  return isVisible() ? label_->text() : QString();
}

} // namespace explorer
