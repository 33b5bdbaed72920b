// The colours of the simulator's texts that mark a state (a switch on, a
// fault active). Each keeps the hue it is given, made as dark or as light
// as it must be to stand out on the palette's window colour, which it is
// drawn on, by a contrast of at least 4.5:1, on light and dark palettes
// alike; a text that marks nothing is drawn in the palette's own colours.
#ifndef PINWORTH_SIMULATOR_STATE_COLOURS_H
#define PINWORTH_SIMULATOR_STATE_COLOURS_H

#include <QColor>

#include <optional>

class QWidget;

namespace simulator {

inline constexpr double kMinimumContrast = 4.5;

// The contrast ratio of two colours by their relative luminance, 1 to 21.
double ContrastRatio(const QColor &a, const QColor &b);

// hue, darker on a light background and lighter on a dark one, with at
// least kMinimumContrast against background.
QColor ReadableOn(const QColor &background, const QColor &hue);

// Draws widget's text in bold in hue made readable on the window colour of
// its window's palette, or, for no hue, in that palette's window text
// colour and not bold. Called again when the palette changes.
void MarkState(QWidget *widget, const std::optional<QColor> &hue);

} // namespace simulator

#endif
