#include "app/ActivityStatus.h"

#include <QLabel>
#include <QStatusBar>

namespace {

constexpr int kRefreshMS = 250;
constexpr int kMessageShownMS = 8000;

QLabel *NamedLabel(QStatusBar *statusBar, const char *name) {
  auto *label = new QLabel(statusBar);
  label->setObjectName(QLatin1String(name));
  return label;
}

} // namespace

ActivityStatus::ActivityStatus(QStatusBar *statusBar,
                               std::function<QString()> activity,
                               std::function<int()> rows)
    : statusBar_(statusBar), activity_(std::move(activity)),
      rows_(std::move(rows)),
      activityLabel_(NamedLabel(statusBar, "activityLabel")),
      rowsLabel_(NamedLabel(statusBar, "rowsLabel")),
      reportCheckLabel_(NamedLabel(statusBar, "reportCheckLabel")) {
  reportCheckLabel_->setToolTip(
      QStringLiteral("The report in the form is not an output report that "
                     "the interface's report descriptor declares (see "
                     "Interface Info). Write sends it all the same."));
  reportCheckLabel_->hide();
  statusBar_->addWidget(activityLabel_, 1);
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

void ActivityStatus::showMessage(const QString &text) {
  statusBar_->showMessage(text, kMessageShownMS);
}
