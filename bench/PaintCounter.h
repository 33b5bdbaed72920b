// Counts the paints of a widget, for the benches' frames a second.
#ifndef PINWORTH_BENCH_PAINT_COUNTER_H
#define PINWORTH_BENCH_PAINT_COUNTER_H

#include <QEvent>
#include <QWidget>

class PaintCounter : public QObject {
public:
  explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
  int paints() const { return paints_; }

protected:
  bool eventFilter(QObject *, QEvent *event) override {
    paints_ += event->type() == QEvent::Paint;
    return false;
  }

private:
  int paints_ = 0;
};

#endif
