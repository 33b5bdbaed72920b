#include "device_simulator/StateColours.h"

#include <QWidget>

#include <cmath>

namespace simulator {

namespace {

double Linear(float channel) {
  return channel <= 0.04045f ? channel / 12.92
                             : std::pow((channel + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor &colour) {
  const QColor rgb = colour.toRgb();
  return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) +
         0.0722 * Linear(rgb.blueF());
}

} // namespace

double ContrastRatio(const QColor &a, const QColor &b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Steps the lightness towards black or white. The end of the way always has
// the contrast wanted: black has more than 4.5:1 against any background it
// is chosen for (luminance above 0.18), and white against the others.
QColor ReadableOn(const QColor &background, const QColor &hue) {
  const bool lightBackground = Luminance(background) > 0.18;
  QColor colour = hue.toHsl();
  for (int step = 0; step < 20; ++step) {
    const float lightness =
        lightBackground
            ? colour.lightnessF() * (1 - step / 20.0f)
            : colour.lightnessF() + (1 - colour.lightnessF()) * step / 20.0f;
    const QColor tried =
        QColor::fromHslF(colour.hslHueF(), colour.hslSaturationF(), lightness);
    if (ContrastRatio(tried, background) >= kMinimumContrast)
      return tried.toRgb();
  }
  return lightBackground ? QColor(Qt::black) : QColor(Qt::white);
}

void MarkState(QWidget *widget, const std::optional<QColor> &hue) {
  QPalette palette = widget->palette();
  // Its window's: the panels between draw no background of their own, and
  // they may learn of a new palette only after the window.
  const QPalette inherited = widget->window()->palette();
  palette.setColor(QPalette::WindowText,
                   hue ? ReadableOn(inherited.color(QPalette::Window), *hue)
                       : inherited.color(QPalette::WindowText));
  widget->setPalette(palette);
  QFont font = widget->font();
  font.setBold(bool(hue));
  widget->setFont(font);
}

} // namespace simulator
