#include "device_simulator/SimulatorPlacement.h"

#include <algorithm>

namespace simulator {

namespace {

constexpr int kGap = 8; // between the explorer and the simulator beside it

QRect Fitted(QRect frame, const QRect &area) {
  frame.setSize(frame.size().boundedTo(area.size()));
  frame.moveTo(
      std::clamp(frame.left(), area.left(), area.right() + 1 - frame.width()),
      std::clamp(frame.top(), area.top(), area.bottom() + 1 - frame.height()));
  return frame;
}

// The screen most of rect lies on; none when it lies on none.
std::optional<QRect> ScreenHolding(const QList<QRect> &screens,
                                   const QRect &rect) {
  std::optional<QRect> best;
  qint64 bestArea = 0;
  for (const QRect &screen : screens) {
    const QRect shared = screen.intersected(rect);
    const qint64 area = qint64(shared.width()) * shared.height();
    if (area > bestArea) {
      best = screen;
      bestArea = area;
    }
  }
  return best;
}

} // namespace

QRect SimulatorFrame(const QList<QRect> &screens, const QRect &explorer,
                     const QSize &frame,
                     const std::optional<QRect> &remembered) {
  const QRect screen =
      ScreenHolding(screens, explorer).value_or(screens.front());
  if (remembered)
    return Fitted(*remembered,
                  ScreenHolding(screens, *remembered).value_or(screen));
  const int roomRight = screen.right() - explorer.right() - kGap;
  const int roomLeft = explorer.left() - screen.left() - kGap;
  int x = 0;
  if (frame.width() <= roomRight)
    x = explorer.right() + 1 + kGap;
  else if (frame.width() <= roomLeft)
    x = explorer.left() - kGap - frame.width();
  else
    x = roomRight >= roomLeft ? screen.right() + 1 - frame.width()
                              : screen.left();
  return Fitted(QRect(QPoint(x, explorer.top()), frame), screen);
}

} // namespace simulator
