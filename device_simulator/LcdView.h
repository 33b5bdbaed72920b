// A 2x16 character LCD as it looks: the visible characters of the display
// controller, blank while the display is off, the cursor (an underline, or a
// block when it blinks) where the controller shows it.
#ifndef PINWORTH_SIMULATOR_LCD_VIEW_H
#define PINWORTH_SIMULATOR_LCD_VIEW_H

#include "platform/simulated/CharacterLcd.h"

#include <QWidget>

#include <optional>
#include <string>

namespace simulator {

class LcdView : public QWidget {
  Q_OBJECT
public:
  explicit LcdView(QWidget *parent = nullptr);

  // Copies what the controller shows now.
  void showController(const hid::sim::CharacterLcd &controller);
  // An unlit panel, for no device.
  void clear();

  // The two lines as shown, 16 characters each; "" while nothing is lit.
  QString text(int line) const;
  // The cursor's place while it shows.
  std::optional<hid::sim::CharacterLcd::Position> cursor() const {
    return cursor_;
  }
  bool cursorBlock() const { return cursorBlock_; }

  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  bool lit_ = false;
  std::string lines_[2];
  std::optional<hid::sim::CharacterLcd::Position> cursor_;
  bool cursorBlock_ = false;
};

} // namespace simulator

#endif
