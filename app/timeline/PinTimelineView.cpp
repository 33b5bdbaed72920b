#include "app/timeline/PinTimelineView.h"

#include "app/timeline/TimeText.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace explorer {

namespace {

constexpr double kFinestUSPerPixel = 0.05;
constexpr double kCoarsestUSPerPixel = 1e10;
constexpr double kWheelZoom = 1.25; // per notch
constexpr int kDragPixels = 3;      // a press moved further is a drag
// Pulses between the cursors: the widths listed of each level, and the edges
// looked at.
constexpr size_t kListedPulses = 8;
constexpr size_t kMostEdges = 1001;

QString HighLow(bool high) {
  return high ? QStringLiteral("high") : QStringLiteral("low");
}

// The frequency and duty cycle of a pin over its whole periods among
// edges, each period from a rising edge to the next: "; 66.7 Hz, duty cycle
// 66.7 % over 2 periods", or empty for fewer than two rising edges.
QString PeriodsText(const std::vector<PinHistory::Change> &edges, int pin) {
  const auto isHigh = [pin](const PinHistory::Change &edge) {
    return (edge.pins >> pin) & 1;
  };
  std::vector<size_t> rises;
  for (size_t i = 0; i < edges.size(); ++i)
    if (isHigh(edges[i]))
      rises.push_back(i);
  if (rises.size() < 2)
    return {};
  const int64_t spanUS = edges[rises.back()].time - edges[rises.front()].time;
  if (spanUS <= 0)
    return {};
  int64_t highUS = 0;
  for (size_t i = rises.front(); i < rises.back(); ++i)
    if (isHigh(edges[i]))
      highUS += edges[i + 1].time - edges[i].time;
  const size_t periods = rises.size() - 1;
  const double hertz = double(periods) * 1e6 / double(spanUS);
  const QString frequency =
      hertz >= 1000 ? QStringLiteral("%1 kHz").arg(hertz / 1000, 0, 'g', 3)
                    : QStringLiteral("%1 Hz").arg(hertz, 0, 'g', 3);
  return QStringLiteral("; %1, duty cycle %2 % over %3 periods")
      .arg(frequency)
      .arg(100.0 * double(highUS) / double(spanUS), 0, 'f', 1)
      .arg(periods);
}

// The step of the ruler's ticks, 1, 2 or 5 times a power of ten
// microseconds, that puts them at least minimum apart.
int64_t TickStep(double minimumUS) {
  int64_t step = 1;
  for (;;)
    for (int64_t factor : {1, 2, 5})
      if (double(step * factor) >= minimumUS)
        return step * factor;
      else if (factor == 5)
        step *= 10;
}

} // namespace

PinTimelineView::PinTimelineView(const PinHistory &history, QWidget *parent)
    : QWidget(parent), history_(history), order_(kPinCount) {
  setObjectName(QStringLiteral("pinTimelineView"));
  std::iota(order_.begin(), order_.end(), 0);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  measureGutter();
}

void PinTimelineView::setSpan(int64_t start, double usPerPixel) {
  fitting_ = false;
  start_ = start;
  usPerPixel_ = std::clamp(usPerPixel, kFinestUSPerPixel, kCoarsestUSPerPixel);
  update();
  emit readoutChanged();
}

void PinTimelineView::fit() {
  const int64_t first = history_.isEmpty() ? origin_ : history_.firstTime();
  const int64_t span = std::max<int64_t>(history_.lastTime() - first, 1000);
  // A little room after the last report, so that its edge is not the border.
  setSpan(first, double(span) * 1.02 / traceWidth());
  fitting_ = true;
}

void PinTimelineView::follow(int64_t lastTimeBefore) {
  if (fitting_)
    return fit();
  const int64_t end = timeAt(width());
  if (end >= lastTimeBefore && history_.lastTime() > end)
    setSpan(start_ + (history_.lastTime() - end), usPerPixel_);
}

void PinTimelineView::zoom(double factor, int x) {
  const int64_t at = timeAt(x);
  const double usPerPixel =
      std::clamp(usPerPixel_ / factor, kFinestUSPerPixel, kCoarsestUSPerPixel);
  setSpan(at - std::llround((x - gutterWidth()) * usPerPixel), usPerPixel);
}

void PinTimelineView::pan(int pixels) {
  setSpan(start_ + std::llround(pixels * usPerPixel_), usPerPixel_);
}

int64_t PinTimelineView::timeAt(int x) const {
  return start_ + std::llround((x - gutterWidth()) * usPerPixel_);
}

int PinTimelineView::xOf(int64_t time) const {
  const double x = gutterWidth() + double(time - start_) / usPerPixel_;
  return int(std::clamp(x, -1e6, 1e6));
}

void PinTimelineView::setPinOrder(const std::vector<int> &order) {
  order_ = order;
  measureGutter();
  updateGeometry();
  update();
}

QString PinTimelineView::pinName(int pin) const {
  return names_[size_t(pin)].isEmpty() ? QStringLiteral("pin %1").arg(pin)
                                       : names_[size_t(pin)];
}

void PinTimelineView::setPinName(int pin, const QString &name) {
  names_[size_t(pin)] = name.trimmed();
  measureGutter();
  updateGeometry();
  update();
}

int PinTimelineView::rowHeight() const {
  return 2 * laneHeight() + kLaneGap + 2 * kRowMargin;
}

int PinTimelineView::laneHeight() const {
  return fontMetrics().height() / 2;
}

int PinTimelineView::rulerHeight() const {
  return fontMetrics().height() + 8;
}

void PinTimelineView::measureGutter() {
  int widest = 0;
  for (int pin : order_)
    widest = std::max(widest, fontMetrics().horizontalAdvance(pinName(pin)));
  gutterWidth_ = widest + 12;
}

int PinTimelineView::pinAt(int y) const {
  const int row = (y - rulerHeight()) / rowHeight();
  if (y < rulerHeight() || row >= int(order_.size()))
    return -1;
  return order_[size_t(row)];
}

int PinTimelineView::rowTop(int pin) const {
  const auto at = std::find(order_.begin(), order_.end(), pin);
  if (at == order_.end())
    return -1;
  return rulerHeight() + int(at - order_.begin()) * rowHeight();
}

void PinTimelineView::setMarker(std::optional<int64_t> time) {
  marker_ = time;
  update();
}

void PinTimelineView::setCursor(int which, std::optional<int64_t> time) {
  cursors_[size_t(which)] = time;
  update();
  emit readoutChanged();
  if (pointer_) // the pulses between the cursors
    emit hovered(describe(pointer_->x(), pointer_->y()));
}

QString PinTimelineView::describe(int x, int y) const {
  const int pin = pinAt(y);
  if (pin < 0 || x < gutterWidth())
    return {};
  const int64_t time = timeAt(x);
  const uint32_t bit = 1u << pin;
  const auto value = [&](PinHistory::Trace trace) {
    const std::optional<uint32_t> pins = history_.pinsAt(trace, time);
    return pins ? HighLow(*pins & bit) : QStringLiteral("not known");
  };
  QString text = QStringLiteral("%1 at %2: latch %3, level %4")
                     .arg(pinName(pin), SecondsText(time - origin()),
                          value(PinHistory::Trace::Latch),
                          value(PinHistory::Trace::Level));
  // The pulse of the lane under the pointer.
  const bool latchLane = (y - rowTop(pin)) < rowHeight() / 2;
  const PinHistory::Trace trace =
      latchLane ? PinHistory::Trace::Latch : PinHistory::Trace::Level;
  const std::optional<uint32_t> pins = history_.pinsAt(trace, time);
  if (!pins)
    return text;
  const PinHistory::Edges edges = history_.edgesAround(trace, pin, time);
  const QString what = QStringLiteral("%1 %2").arg(
      latchLane ? QStringLiteral("latch") : QStringLiteral("level"),
      HighLow(*pins & bit));
  if (edges.before && edges.after)
    text +=
        QStringLiteral("; %1 for %2")
            .arg(what, DurationText(edges.after->time - edges.before->time));
  else if (edges.before)
    text += QStringLiteral("; %1 since %2")
                .arg(what, SecondsText(edges.before->time - origin()));
  else if (edges.after)
    text += QStringLiteral("; %1 until %2")
                .arg(what, SecondsText(edges.after->time - origin()));
  return text + pulsesBetweenCursors(trace, pin);
}

QString PinTimelineView::pulsesBetweenCursors(PinHistory::Trace trace,
                                              int pin) const {
  const auto [a, b] = cursors_;
  if (!a || !b)
    return {};
  const std::vector<PinHistory::Change> edges = history_.edgesIn(
      trace, pin, std::min(*a, *b), std::max(*a, *b), kMostEdges);
  if (edges.size() < 2)
    return QStringLiteral("; no whole pulse between A and B");
  // widths[1]: the high pulses, each from an edge to the next.
  std::array<std::vector<int64_t>, 2> widths;
  for (size_t i = 0; i + 1 < edges.size(); ++i)
    widths[(edges[i].pins >> pin) & 1].push_back(edges[i + 1].time -
                                                 edges[i].time);
  QStringList levels;
  for (const bool high : {true, false}) {
    const std::vector<int64_t> &of = widths[high];
    if (of.empty())
      continue;
    QStringList listed;
    for (size_t i = 0; i < std::min(of.size(), kListedPulses); ++i)
      listed << DurationText(of[i]);
    QString text = QStringLiteral("%1 %2 (%3)")
                       .arg(of.size())
                       .arg(HighLow(high), listed.join(QStringLiteral(", ")));
    if (of.size() > kListedPulses) {
      const auto [shortest, longest] =
          std::minmax_element(of.begin(), of.end());
      text += *shortest == *longest
                  ? QStringLiteral(", all %1").arg(DurationText(*shortest))
                  : QStringLiteral(" from %1 to %2")
                        .arg(DurationText(*shortest), DurationText(*longest));
    }
    levels << text;
  }
  return QStringLiteral("; between A and B%1: %2%3")
      .arg(edges.size() == kMostEdges
               ? QStringLiteral(", the first %1 pulses").arg(kMostEdges - 1)
               : QString(),
           levels.join(QStringLiteral(", ")), PeriodsText(edges, pin));
}

QString PinTimelineView::cursorText() const {
  const auto [a, b] = cursors_;
  if (!a && !b)
    return QStringLiteral("Cursors: press A or B over the timeline");
  QStringList parts;
  if (a)
    parts << QStringLiteral("A %1").arg(SecondsText(*a - origin()));
  if (b)
    parts << QStringLiteral("B %1").arg(SecondsText(*b - origin()));
  if (a && b)
    parts << QStringLiteral("B − A %1").arg(DurationText(*b - *a));
  return parts.join(QStringLiteral("   "));
}

QSize PinTimelineView::sizeHint() const {
  return {600, rulerHeight() + int(order_.size()) * rowHeight() + 2};
}

QSize PinTimelineView::minimumSizeHint() const {
  return {gutterWidth() + 100, sizeHint().height()};
}

void PinTimelineView::paintEvent(QPaintEvent *event) {
  QPainter painter(this);
  const QPalette &colours = palette();
  const int left = gutterWidth();
  const int columns = traceWidth();
  std::vector<int64_t> bounds(size_t(columns) + 1);
  for (int i = 0; i <= columns; ++i)
    bounds[size_t(i)] = timeAt(left + i);
  const std::vector<PinHistory::Column> latches =
      history_.columns(PinHistory::Trace::Latch, bounds);
  const std::vector<PinHistory::Column> levels =
      history_.columns(PinHistory::Trace::Level, bounds);
  const int lane = laneHeight();
  for (size_t row = 0; row < order_.size(); ++row) {
    const int pin = order_[row];
    const int top = rulerHeight() + int(row) * rowHeight();
    if (top > event->rect().bottom() || top + rowHeight() < event->rect().top())
      continue;
    painter.setPen(colours.color(QPalette::Mid));
    painter.drawLine(0, top + rowHeight() - 1, width(), top + rowHeight() - 1);
    painter.setPen(colours.color(QPalette::Text));
    painter.drawText(QRect(6, top, left - 6, rowHeight()),
                     Qt::AlignLeft | Qt::AlignVCenter, pinName(pin));
    paintTrace(painter, latches, pin, top + kRowMargin, lane,
               colours.color(QPalette::Highlight));
    paintTrace(painter, levels, pin, top + kRowMargin + lane + kLaneGap, lane,
               colours.color(QPalette::Text));
  }
  paintRuler(painter);
  if (marker_)
    paintLine(painter, *marker_, colours.color(QPalette::Highlight), {});
  for (size_t i = 0; i < cursors_.size(); ++i)
    if (cursors_[i])
      paintLine(painter, *cursors_[i], colours.color(QPalette::Text),
                i == 0 ? QStringLiteral("A") : QStringLiteral("B"));
}

// Runs of columns alike are drawn as one: a line high or low, or a bar
// where the pin changed; nothing where it is not known.
void PinTimelineView::paintTrace(QPainter &painter,
                                 const std::vector<PinHistory::Column> &columns,
                                 int pin, int top, int height,
                                 const QColor &colour) const {
  enum class Run { Unknown, High, Low, Changing };
  const uint32_t bit = 1u << pin;
  const auto runOf = [bit](const PinHistory::Column &column) {
    if (column.changed & bit)
      return Run::Changing;
    if (!column.known)
      return Run::Unknown;
    return column.pins & bit ? Run::High : Run::Low;
  };
  painter.setPen(colour);
  const int left = gutterWidth();
  const int high = top, low = top + height;
  size_t begin = 0;
  for (size_t i = 1; i <= columns.size(); ++i) {
    const Run run = runOf(columns[begin]);
    if (i < columns.size() && runOf(columns[i]) == run)
      continue;
    const int x0 = left + int(begin), x1 = left + int(i) - 1;
    if (run == Run::Changing)
      painter.fillRect(x0, high, x1 - x0 + 1, height + 1, colour);
    else if (run != Run::Unknown)
      painter.drawLine(x0, run == Run::High ? high : low, x1,
                       run == Run::High ? high : low);
    begin = i;
  }
}

void PinTimelineView::paintRuler(QPainter &painter) const {
  const QPalette &colours = palette();
  const int left = gutterWidth();
  painter.fillRect(0, 0, width(), rulerHeight(),
                   colours.color(QPalette::Window));
  painter.setPen(colours.color(QPalette::WindowText));
  const int labelWidth = fontMetrics().horizontalAdvance("0000.000000 s") + 16;
  const int64_t step = TickStep(labelWidth * usPerPixel_);
  const int64_t origin = this->origin();
  int64_t tick = (timeAt(left) - origin) / step * step;
  for (; xOf(origin + tick) < width(); tick += step) {
    const int x = xOf(origin + tick);
    if (x < left)
      continue;
    painter.drawLine(x, rulerHeight() - 5, x, rulerHeight() - 1);
    painter.drawText(x + 3, fontMetrics().ascent() + 2,
                     SecondsText(tick, step));
  }
  painter.drawLine(0, rulerHeight() - 1, width(), rulerHeight() - 1);
}

void PinTimelineView::paintLine(QPainter &painter, int64_t time,
                                const QColor &colour,
                                const QString &label) const {
  const int x = xOf(time);
  if (x < gutterWidth() || x >= width())
    return;
  QPen pen(colour);
  pen.setStyle(label.isEmpty() ? Qt::SolidLine : Qt::DashLine);
  pen.setWidth(label.isEmpty() ? 2 : 1);
  painter.setPen(pen);
  painter.drawLine(x, rulerHeight(), x, height());
  if (!label.isEmpty()) {
    painter.setPen(colour);
    painter.drawText(x + 3, rulerHeight() + fontMetrics().ascent(), label);
  }
}

std::optional<int> PinTimelineView::edgeAt(QPoint at) const {
  const int pin = pinAt(at.y());
  if (pin < 0 || at.x() < gutterWidth())
    return std::nullopt;
  const bool latchLane = (at.y() - rowTop(pin)) < rowHeight() / 2;
  const std::optional<PinHistory::Change> change = history_.changeNear(
      latchLane ? PinHistory::Trace::Latch : PinHistory::Trace::Level, pin,
      timeAt(at.x()), std::llround(kPickPixels * usPerPixel_));
  if (!change)
    return std::nullopt;
  return change->report;
}

int PinTimelineView::pointerX() const {
  return pointer_ ? pointer_->x() : gutterWidth() + traceWidth() / 2;
}

void PinTimelineView::wheelEvent(QWheelEvent *event) {
  const QPoint notches = event->angleDelta() / 120;
  if (notches.y())
    zoom(std::pow(kWheelZoom, notches.y()), event->position().toPoint().x());
  if (notches.x())
    pan(-notches.x() * traceWidth() / 10);
  event->accept();
}

void PinTimelineView::mousePressEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton)
    return QWidget::mousePressEvent(event);
  pressedAt_ = event->position().toPoint();
}

void PinTimelineView::mouseMoveEvent(QMouseEvent *event) {
  const QPoint at = event->position().toPoint();
  pointer_ = at;
  if (pressedAt_ && !dragX_ &&
      (at - *pressedAt_).manhattanLength() > kDragPixels)
    dragX_ = pressedAt_->x();
  if (dragX_) {
    pan(*dragX_ - at.x());
    dragX_ = at.x();
  }
  emit hovered(describe(at.x(), at.y()));
}

void PinTimelineView::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton)
    return QWidget::mouseReleaseEvent(event);
  const bool clicked = pressedAt_ && !dragX_;
  pressedAt_.reset();
  dragX_.reset();
  if (!clicked)
    return;
  if (const std::optional<int> report = edgeAt(event->position().toPoint()))
    emit reportPicked(*report);
}

void PinTimelineView::leaveEvent(QEvent *) {
  pointer_.reset();
  emit hovered({});
}

void PinTimelineView::keyPressEvent(QKeyEvent *event) {
  switch (event->key()) {
  case Qt::Key_Plus:
  case Qt::Key_Equal:
    return zoom(2, pointerX());
  case Qt::Key_Minus:
    return zoom(0.5, pointerX());
  case Qt::Key_Left:
    return pan(-traceWidth() / 8);
  case Qt::Key_Right:
    return pan(traceWidth() / 8);
  case Qt::Key_F:
  case Qt::Key_Home:
    return fit();
  case Qt::Key_A:
    return setCursor(0, timeAt(pointerX()));
  case Qt::Key_B:
    return setCursor(1, timeAt(pointerX()));
  case Qt::Key_Escape:
    if (cursors_[0] || cursors_[1]) {
      setCursor(0, std::nullopt);
      return setCursor(1, std::nullopt);
    }
    break;
  }
  QWidget::keyPressEvent(event);
}

void PinTimelineView::contextMenuEvent(QContextMenuEvent *event) {
  QPoint at = event->pos();
  if (event->reason() != QContextMenuEvent::Mouse)
    at = QPoint(pointerX(), pointer_ ? pointer_->y() : rulerHeight() + 1);
  emit menuRequested(mapToGlobal(at), pinAt(at.y()), timeAt(at.x()));
}

void PinTimelineView::changeEvent(QEvent *event) {
  if (event->type() == QEvent::FontChange)
    measureGutter();
  QWidget::changeEvent(event);
}

void PinTimelineView::resizeEvent(QResizeEvent *) {
  emit readoutChanged();
}

} // namespace explorer
