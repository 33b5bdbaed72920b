// The pin timeline's drawing: interface 0's pins over time as a logic
// analyser shows them, one row a pin with its latch (thin, in the palette's
// highlight colour) above its level (in its text colour), under a ruler of
// seconds since the log's first report.
//
// Each column of pixels is drawn from the history's summary (the pins at
// its end and whether they changed in it), so a paint costs the same at
// any zoom and any length of log. A column in which a pin changed is drawn
// as a bar across its row: a run of such columns is a run of pulses too
// short to tell apart at that zoom.
//
// The mouse: the wheel zooms around the pointer, a drag pans, a click on an
// edge picks its report, hovering names a pin's value and pulse. The keys:
// + and - zoom, Left and Right pan, F fits the whole history, A and B put a
// cursor where the pointer (or the view's middle) is, Escape takes them away.
#ifndef PINWORTH_EXPLORER_PIN_TIMELINE_VIEW_H
#define PINWORTH_EXPLORER_PIN_TIMELINE_VIEW_H

#include "app/timeline/PinHistory.h"

#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace explorer {

class PinTimelineView : public QWidget {
  Q_OBJECT
public:
  static constexpr int kPinCount = 32;
  // How near an edge a click must be to pick it, in pixels.
  static constexpr int kPickPixels = 4;

  // history is not owned and outlives the view; update() after changing it.
  explicit PinTimelineView(const PinHistory &history,
                           QWidget *parent = nullptr);

  // The span shown: from start, usPerPixel microseconds a pixel.
  int64_t start() const { return start_; }
  double usPerPixel() const { return usPerPixel_; }
  void setSpan(int64_t start, double usPerPixel);
  // Shows the whole history across the width, and keeps showing it whole as
  // it grows (fitting()) until zoomed or panned.
  void fit();
  bool fitting() const { return fitting_; }
  // Moves the span on by the time the history grew past its end, when the
  // end was in sight: a span zoomed in on the end follows it.
  void follow(int64_t lastTimeBefore);
  // Zooms by factor (more than 1 zooms in) about the time at x.
  void zoom(double factor, int x);
  void pan(int pixels);
  // The time at x, and the x of a time.
  int64_t timeAt(int x) const;
  int xOf(int64_t time) const;

  // The time the ruler counts from (the log's first report).
  int64_t origin() const { return origin_; }
  void setOrigin(int64_t origin) {
    origin_ = origin;
    update();
  }

  // The pins shown, top to bottom: every pin at first, in order.
  const std::vector<int> &pinOrder() const { return order_; }
  void setPinOrder(const std::vector<int> &order);
  // The name pin is shown by: its own, or "pin <n>".
  QString pinName(int pin) const;
  // The name the user gave pin, empty for none.
  const QString &ownName(int pin) const { return names_[size_t(pin)]; }
  // A name for pin; an empty one gives it back its number.
  void setPinName(int pin, const QString &name);
  // The pin shown at y, or -1.
  int pinAt(int y) const;
  // The top of pin's row, or -1 when it is hidden.
  int rowTop(int pin) const;
  int rowHeight() const;

  // The line marking the selected report's time, or none.
  void setMarker(std::optional<int64_t> time);
  std::optional<int64_t> marker() const { return marker_; }
  std::optional<int64_t> cursorA() const { return cursors_[0]; }
  std::optional<int64_t> cursorB() const { return cursors_[1]; }
  void setCursor(int which, std::optional<int64_t> time);

  // What hovering over (x, y) says: the pin, its latch and level there, the
  // pulse it is in, and with both cursors set the widths of the lane's
  // pulses between them; empty off the pins.
  QString describe(int x, int y) const;
  // The text of the cursors: their times and the time between them.
  QString cursorText() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

signals:
  // The user clicked on the edge of report.
  void reportPicked(int report);
  // The span, the cursors or the hovered place changed.
  void readoutChanged();
  // The pointer is over text (or no longer over anything).
  void hovered(const QString &text);
  // The context menu is asked for pin (-1 for none) at time.
  void menuRequested(const QPoint &globalAt, int pin, int64_t time);

protected:
  void paintEvent(QPaintEvent *event) override;
  void wheelEvent(QWheelEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void leaveEvent(QEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void changeEvent(QEvent *event) override;

private:
  // A pin's row: a margin, the latch's lane, a gap, the level's lane and a
  // margin, the lanes each half a line of text high.
  static constexpr int kRowMargin = 3;
  static constexpr int kLaneGap = 5;
  int laneHeight() const;
  // The width of the pins' names left of the traces, measured again when
  // they or the font change.
  int gutterWidth() const { return gutterWidth_; }
  void measureGutter();
  int rulerHeight() const;
  int traceWidth() const { return std::max(1, width() - gutterWidth()); }
  // The x where the pointer is, or the middle of the traces.
  int pointerX() const;
  void paintRuler(QPainter &painter) const;
  void paintTrace(QPainter &painter,
                  const std::vector<PinHistory::Column> &columns, int pin,
                  int top, int height, const QColor &colour) const;
  void paintLine(QPainter &painter, int64_t time, const QColor &colour,
                 const QString &label) const;
  // "; between A and B: 3 high (…), 2 low (…)": the widths of the pulses of
  // pin's trace wholly between the cursors; empty unless both are set.
  QString pulsesBetweenCursors(PinHistory::Trace trace, int pin) const;
  // The report whose edge is within kPickPixels of at, on the lane at.
  std::optional<int> edgeAt(QPoint at) const;

  const PinHistory &history_;
  int gutterWidth_ = 0;
  int64_t origin_ = 0;
  int64_t start_ = 0;
  bool fitting_ = true;
  double usPerPixel_ = 1000;
  std::vector<int> order_;
  std::array<QString, kPinCount> names_;
  std::optional<int64_t> marker_;
  std::array<std::optional<int64_t>, 2> cursors_;
  std::optional<QPoint> pressedAt_; // a press not yet a drag
  std::optional<int> dragX_;        // the last x of a drag
  std::optional<QPoint> pointer_;
};

} // namespace explorer

#endif
