// Where the Device Simulator's window goes, as a rectangle of its frame in
// screen coordinates, given the available areas of the screens, the
// explorer's frame and the simulator's frame size (at least one screen).
//
// A remembered place that is on a screen still stays on that screen, and
// one that is off every screen now comes back onto the screen that holds
// the explorer, each moved, and shrunk if need be, to lie wholly on it.
// Without one the simulator goes on the explorer's screen, level with the
// explorer's top: beside it, on its right, else on its left, when that side
// has room, else over it, as far to the side with more room as the screen
// allows.
#ifndef PINWORTH_SIMULATOR_SIMULATOR_PLACEMENT_H
#define PINWORTH_SIMULATOR_SIMULATOR_PLACEMENT_H

#include <QList>
#include <QRect>

#include <optional>

namespace simulator {

QRect SimulatorFrame(const QList<QRect> &screens, const QRect &explorer,
                     const QSize &frame,
                     const std::optional<QRect> &remembered);

} // namespace simulator

#endif
