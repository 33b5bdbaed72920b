#include "app/ActivityStatus.h"

#include "platform/ReaderPriority.h"

#include <QBoxLayout>
#include <QLabel>
#include <QStatusBar>

namespace explorer {

namespace {

constexpr int kRefreshMS = 16;
constexpr int kFramesPerCount = 12;

QLabel *NamedLabel(QLabel *label, const char *name) {
  label->setObjectName(QLatin1String(name));
  return label;
}

// A label that wraps its text at the width it is given and asks for no
// more height than that takes (QLabel's own hint wraps at a guessed width,
// a line too tall for a short text).
class WrappingLabel : public QLabel {
public:
  explicit WrappingLabel(QWidget *parent) : QLabel(parent) {
    setWordWrap(true);
  }
  QSize sizeHint() const override {
    return {QLabel::sizeHint().width(), heightForWidth(width())};
  }
  QSize minimumSizeHint() const override {
    return {QLabel::minimumSizeHint().width(), heightForWidth(width())};
  }

protected:
  void resizeEvent(QResizeEvent *event) override {
    QLabel::resizeEvent(event);
    if (height() != heightForWidth(width()))
      updateGeometry();
  }
};

// The text without its digits: two texts that differ in their counts alone
// have the same.
QString WithoutDigits(QString text) {
  text.removeIf([](QChar c) { return c.isDigit(); });
  return text;
}

void ShowText(QLabel &label, const QString &text, bool countsToo) {
  if (text != label.text() &&
      (countsToo || WithoutDigits(text) != WithoutDigits(label.text())))
    label.setText(text);
}

} // namespace

ActivityStatus::ActivityStatus(QStatusBar *statusBar, QWidget *contentView,
                               std::function<QString()> activity,
                               std::function<int()> rows)
    : statusBar_(statusBar), activity_(std::move(activity)),
      rows_(std::move(rows)),
      activityLabel_(NamedLabel(new WrappingLabel(statusBar), "activityLabel")),
      rowsLabel_(NamedLabel(new QLabel(statusBar), "rowsLabel")),
      reportCheckLabel_(NamedLabel(new QLabel(statusBar), "reportCheckLabel")),
      messages_(new MessageBar(contentView)) {
  if (auto *layout = qobject_cast<QBoxLayout *>(contentView->layout()))
    layout->insertWidget(0, messages_);
  reportCheckLabel_->setToolTip(
      QStringLiteral("The report in the form is not an output report that "
                     "the interface's report descriptor declares (see "
                     "Interface Info). Write sends it all the same."));
  reportCheckLabel_->hide();
  // Permanent: a message in the status bar itself never hides it.
  statusBar_->addPermanentWidget(activityLabel_, 1);
  statusBar_->addPermanentWidget(reportCheckLabel_);
  statusBar_->addPermanentWidget(rowsLabel_);
  timer_.setInterval(kRefreshMS);
  connect(&timer_, &QTimer::timeout, this,
          [this] { show(++frames_ % kFramesPerCount == 0); });
  timer_.start();
}

void ActivityStatus::refresh() {
  show(true);
}

void ActivityStatus::show(bool countsToo) {
  ShowText(*activityLabel_, activity_(), countsToo);
  const int rows = rows_();
  ShowText(*rowsLabel_,
           rows == 1 ? QStringLiteral("1 row")
                     : QStringLiteral("%1 rows").arg(rows),
           countsToo);
  if (!priorityNoted_) {
    const std::string notice = hid::ReaderPriorityNotice();
    if (!notice.empty()) {
      priorityNoted_ = true;
      messages_->show(QString::fromStdString(notice),
                      MessageBar::Kind::Standing,
                      QStringLiteral("reader priority"));
    }
  }
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

} // namespace explorer
