#include "app/timeline/PinTimeline.h"

#include "app/framework/ModalDialog.h"
#include "app/framework/SaveDialog.h"
#include "app/log/LogTableModel.h"
#include "app/log/LogView.h"
#include "app/timeline/PinTimelineView.h"

#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSvgGenerator>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>

namespace explorer {

PinTimeline::PinTimeline(LogTableModel &log, LogView &view, QWidget *parent)
    : QGroupBox(QStringLiteral("Pin Timeline"), parent), log_(log),
      logView_(view), view_(new PinTimelineView(history_)),
      scroll_(new QScrollArea), sources_(new QComboBox), cursors_(new QLabel),
      pointer_(new QLabel) {
  setObjectName(QStringLiteral("pinTimeline"));
  sources_->setObjectName(QStringLiteral("timelineSourcePopup"));
  sources_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  auto *sourceLabel = new QLabel(QStringLiteral("Pi&ns of:"));
  sourceLabel->setBuddy(sources_);
  auto *fit = new QPushButton(QStringLiteral("&Fit"));
  fit->setObjectName(QStringLiteral("timelineFitButton"));
  connect(fit, &QPushButton::clicked, view_, &PinTimelineView::fit);
  cursors_->setObjectName(QStringLiteral("timelineCursorLabel"));
  pointer_->setObjectName(QStringLiteral("timelinePointerLabel"));
  pointer_->setWordWrap(true);
  scroll_->setWidget(view_);
  scroll_->setWidgetResizable(true);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll_->setFocusProxy(view_);
  setFocusProxy(view_);
  scroll_->setMinimumHeight(view_->sizeHint().height() / 4);
  auto *tools = new QHBoxLayout;
  tools->addWidget(sourceLabel);
  tools->addWidget(sources_);
  tools->addWidget(fit);
  tools->addWidget(cursors_, 1);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(tools);
  layout->addWidget(pointer_);
  layout->addWidget(scroll_, 1);
  connect(sources_, &QComboBox::currentIndexChanged, this,
          &PinTimeline::restart);
  connect(&log_, &LogTableModel::announced, this, &PinTimeline::readMore);
  connect(&log_, &QAbstractItemModel::modelReset, this, &PinTimeline::logReset);
  connect(logView_.selectionModel(), &QItemSelectionModel::currentChanged, this,
          &PinTimeline::selectionChanged);
  connect(view_, &PinTimelineView::reportPicked, this, &PinTimeline::pick);
  connect(view_, &PinTimelineView::menuRequested, this, &PinTimeline::showMenu);
  connect(view_, &PinTimelineView::readoutChanged, this,
          &PinTimeline::showReadout);
  connect(view_, &PinTimelineView::hovered, pointer_, &QLabel::setText);
  showReadout();
  pointer_->setText(QStringLiteral(
      "Each pin: its latch (written) above, its level (read) below. Hover "
      "for a pin's value; click an edge to select its report."));
  view_->setOrigin(log_.startTime());
  readMore();
}

bool PinTimeline::caughtUp() const {
  return read_ == log_.reportCount();
}

PinLayout PinTimeline::pinLayout() const {
  PinLayout layout;
  for (int pin = 0; pin < PinTimelineView::kPinCount; ++pin)
    layout.names << view_->ownName(pin);
  layout.order = view_->pinOrder();
  return layout;
}

void PinTimeline::setPinLayout(const PinLayout &layout) {
  for (int pin = 0;
       pin < PinTimelineView::kPinCount && pin < layout.names.size(); ++pin)
    view_->setPinName(pin, layout.names[pin]);
  if (layout.order)
    view_->setPinOrder(*layout.order);
}

bool PinTimeline::saveImage(const QString &path) const {
  const QRect shown(view_->mapFrom(scroll_->viewport(), QPoint(0, 0)),
                    scroll_->viewport()->size());
  if (!path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive))
    return view_->grab(shown).save(path, "PNG");
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return false;
  QSvgGenerator svg;
  svg.setOutputDevice(&file);
  svg.setSize(shown.size());
  svg.setViewBox(QRect(QPoint(0, 0), shown.size()));
  svg.setTitle(title());
  QPainter painter(&svg);
  view_->render(&painter, QPoint(), QRegion(shown));
  painter.end();
  return file.flush() && file.error() == QFileDevice::NoError;
}

void PinTimeline::readMore() {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(kSliceMS);
  const int count = log_.reportCount();
  int chosen =
      sources_->currentIndex() < 0 ? -1 : sources_->currentData().toInt();
  const int64_t lastTimeBefore = history_.lastTime();
  bool added = false;
  for (; read_ < count; ++read_) {
    if (read_ % 1024 == 0 && Clock::now() > deadline)
      break;
    const LogRow row = log_.logRow(read_);
    if (!row.isReport() || row.reportID != core::kNoReportID ||
        row.source == LogRow::kNoSource || !isInterface0(row.source, read_))
      continue;
    if (chosen < 0) // the first interface 0 seen is the one shown
      chosen = row.source;
    if (row.source != chosen)
      continue;
    history_.add(row.isOutput() ? PinHistory::Trace::Latch
                                : PinHistory::Trace::Level,
                 row.time, PinsOfReport(row.data, row.size()), read_);
    added = true;
  }
  if (read_ < count && !readPending_) {
    readPending_ = true;
    QTimer::singleShot(0, this, [this] {
      readPending_ = false;
      readMore();
    });
  }
  if (!added)
    return;
  view_->follow(lastTimeBefore);
  view_->update();
}

// A source is asked of the log once: the first of its reports read.
bool PinTimeline::isInterface0(uint16_t source, int report) {
  if (sourceKinds_.size() <= source)
    sourceKinds_.resize(source + 1, -1);
  if (sourceKinds_[source] < 0) {
    const std::optional<core::InterfaceIdentity> identity = log_.source(report);
    sourceKinds_[source] = identity && identity->interfaceNumber() == 0;
    if (sourceKinds_[source]) {
      const QSignalBlocker quiet(sources_);
      sources_->addItem(log_.cellText(report, LogTableModel::kSourceColumn),
                        int(source));
    }
  }
  return sourceKinds_[source] == 1;
}

void PinTimeline::restart() {
  history_.clear();
  read_ = 0;
  view_->setCursor(0, std::nullopt);
  view_->setCursor(1, std::nullopt);
  view_->setMarker(std::nullopt);
  view_->setOrigin(log_.startTime());
  view_->fit();
  readMore();
}

// The log resets for a new filter too, which changes no report. Its
// sources stay with it when it is cleared.
void PinTimeline::logReset() {
  if (log_.reportCount() < read_)
    restart();
}

void PinTimeline::selectionChanged() {
  const QModelIndex current = logView_.selectionModel()->currentIndex();
  view_->setMarker(current.isValid() ? std::optional<int64_t>(log_.time(
                                           log_.reportAtRow(current.row())))
                                     : std::nullopt);
}

void PinTimeline::pick(int report) {
  const int row = log_.rowOfReport(report);
  if (row < 0) {
    pointer_->setText(QStringLiteral("The report of that edge is not shown: "
                                     "the log's filter hides it."));
    return;
  }
  const QModelIndex index = log_.index(row, 0);
  logView_.selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  logView_.scrollTo(index);
}

void PinTimeline::showMenu(const QPoint &at, int pin, int64_t time) {
  QMenu menu(this);
  menu.addAction(QStringLiteral("Set Cursor &A Here"), this,
                 [this, time] { view_->setCursor(0, time); });
  menu.addAction(QStringLiteral("Set Cursor &B Here"), this,
                 [this, time] { view_->setCursor(1, time); });
  QAction *clear =
      menu.addAction(QStringLiteral("&Clear Cursors"), this, [this] {
        view_->setCursor(0, std::nullopt);
        view_->setCursor(1, std::nullopt);
      });
  clear->setEnabled(view_->cursorA() || view_->cursorB());
  menu.addSeparator();
  if (pin >= 0) {
    const QString name = view_->pinName(pin);
    menu.addAction(QStringLiteral("&Name %1…").arg(name), this,
                   [this, pin] { namePin(pin); });
    menu.addAction(QStringLiteral("Move %1 &Up").arg(name), this,
                   [this, pin] { movePin(pin, -1); });
    menu.addAction(QStringLiteral("Move %1 &Down").arg(name), this,
                   [this, pin] { movePin(pin, 1); });
    menu.addAction(QStringLiteral("&Hide %1").arg(name), this,
                   [this, pin] { hidePin(pin); });
  }
  QAction *showAll =
      menu.addAction(QStringLiteral("&Show All Pins"), this, [this] {
        std::vector<int> order = view_->pinOrder();
        for (int pin = 0; pin < PinTimelineView::kPinCount; ++pin)
          if (std::find(order.begin(), order.end(), pin) == order.end())
            order.push_back(pin);
        view_->setPinOrder(order);
        emit pinsArranged();
      });
  showAll->setEnabled(int(view_->pinOrder().size()) <
                      PinTimelineView::kPinCount);
  menu.addSeparator();
  menu.addAction(QStringLiteral("&Fit"), view_, &PinTimelineView::fit);
  menu.addAction(QStringLiteral("Save Shown as &Image…"), this,
                 &PinTimeline::askImagePath);
  if (exportWhole_)
    menu.addAction(QStringLiteral("Export All as &VCD…"), this, exportWhole_);
  menu.exec(at);
}

void PinTimeline::namePin(int pin) {
  QInputDialog dialog(this);
  dialog.setWindowTitle(QStringLiteral("Name Pin %1").arg(pin));
  dialog.setLabelText(
      QStringLiteral("Name of pin %1 (empty for its number):").arg(pin));
  dialog.setTextValue(view_->ownName(pin));
  if (RunModal(dialog) != QDialog::Accepted)
    return;
  view_->setPinName(pin, dialog.textValue());
  emit pinsArranged();
}

void PinTimeline::movePin(int pin, int by) {
  std::vector<int> order = view_->pinOrder();
  const auto at = std::find(order.begin(), order.end(), pin);
  const auto to = at + by;
  if (at == order.end() || to < order.begin() || to >= order.end())
    return;
  std::iter_swap(at, to);
  view_->setPinOrder(order);
  emit pinsArranged();
}

void PinTimeline::hidePin(int pin) {
  std::vector<int> order = view_->pinOrder();
  std::erase(order, pin);
  view_->setPinOrder(order);
  emit pinsArranged();
}

void PinTimeline::askImagePath() {
  const std::optional<SavePath> chosen =
      AskSavePath(this, QStringLiteral("Save Pin Timeline"),
                  {QStringLiteral("PNG image (*.png)"),
                   QStringLiteral("SVG image (*.svg)")},
                  TimedName(QStringLiteral("pin-timeline")));
  if (!chosen)
    return;
  const QString path = chosen->path;
  pointer_->setText(saveImage(path)
                        ? QStringLiteral("Saved %1.").arg(path)
                        : QStringLiteral("Could not save %1.").arg(path));
}

void PinTimeline::showReadout() {
  cursors_->setText(view_->cursorText());
}

} // namespace explorer
