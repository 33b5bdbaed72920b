#include "app/ActivityStatus.h"

#include <QBoxLayout>
#include <QLabel>
#include <QStatusBar>

namespace {

constexpr int kRefreshMS = 250;

QLabel *NamedLabel(QStatusBar *statusBar, const char *name) {
  auto *label = new QLabel(statusBar);
  label->setObjectName(QLatin1String(name));
  return label;
}

} // namespace

ActivityStatus::ActivityStatus(QStatusBar *statusBar, QWidget *contentView,
                               std::function<QString()> activity,
                               std::function<int()> rows)
    : statusBar_(statusBar), activity_(std::move(activity)),
      rows_(std::move(rows)),
      activityLabel_(NamedLabel(statusBar, "activityLabel")),
      rowsLabel_(NamedLabel(statusBar, "rowsLabel")),
      reportCheckLabel_(NamedLabel(statusBar, "reportCheckLabel")),
      messages_(new MessageBar(contentView)) {
  if (auto *layout = qobject_cast<QBoxLayout *>(contentView->layout()))
    layout->insertWidget(0, messages_);
  reportCheckLabel_->setToolTip(
      QStringLiteral("The report in the form is not an output report that "
                     "the interface's report descriptor declares (see "
                     "Interface Info). Write sends it all the same."));
  reportCheckLabel_->hide();
  // Wraps, so that with several interfaces read none of them is cut.
  activityLabel_->setWordWrap(true);
  // Permanent: a message in the status bar itself never hides it.
  statusBar_->addPermanentWidget(activityLabel_, 1);
  statusBar_->addPermanentWidget(reportCheckLabel_);
  statusBar_->addPermanentWidget(rowsLabel_);
  timer_.setInterval(kRefreshMS);
  connect(&timer_, &QTimer::timeout, this, &ActivityStatus::refresh);
  timer_.start();
}

void ActivityStatus::refresh() {
  activityLabel_->setText(activity_());
  const int rows = rows_();
  rowsLabel_->setText(rows == 1 ? QStringLiteral("1 row")
                                : QStringLiteral("%1 rows").arg(rows));
}

void ActivityStatus::setReportCheck(const std::optional<QString> &mismatch) {
  reportCheckLabel_->setText(mismatch.value_or(QString()));
  reportCheckLabel_->setVisible(mismatch.has_value());
}

namespace {

const QString kUnpluggedTopic = QStringLiteral("unplugged");
const QString kMisfitTopic = QStringLiteral("macro misfit");

} // namespace

void ActivityStatus::targetUnplugged(const QString &unplugged) {
  messages_->show(unplugged, MessageBar::Kind::Standing, kUnpluggedTopic);
}

void ActivityStatus::nothingSent(const QString &unplugged) {
  messages_->show(unplugged + QStringLiteral(": nothing was sent. Pick another "
                                             "interface, or plug it in again."),
                  MessageBar::Kind::Standing, kUnpluggedTopic);
}

void ActivityStatus::nothingToRead() {
  messages_->show(QStringLiteral("No Pinworth device attached: there is "
                                 "nothing to read."));
}

void ActivityStatus::targetBack() {
  messages_->clear(kUnpluggedTopic);
}

void ActivityStatus::macroMisfit(const std::optional<QString> &misfit) {
  if (misfit)
    messages_->show(*misfit, MessageBar::Kind::Standing, kMisfitTopic);
  else
    messages_->clear(kMisfitTopic);
}

void ActivityStatus::targetChosen() {
  messages_->clear(kUnpluggedTopic);
  messages_->clear(kMisfitTopic);
}

void ActivityStatus::showMessage(const QString &text, MessageBar::Kind kind,
                                 const QString &topic) {
  messages_->show(text, kind, topic);
}
