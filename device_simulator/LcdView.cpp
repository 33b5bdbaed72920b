#include "device_simulator/LcdView.h"

#include <QFontDatabase>
#include <QPainter>

namespace simulator {

namespace {

constexpr int kColumns = hid::sim::CharacterLcd::kVisibleColumns;
constexpr int kCellWidth = 18;
constexpr int kCellHeight = 28;
constexpr int kGap = 2;
constexpr int kMargin = 12;

// Character codes outside printable ASCII show as a hollow box.
QChar Shown(uint8_t code) {
  return code >= 0x20 && code < 0x7F ? QChar(code) : QChar(0x25A1);
}

} // namespace

LcdView::LcdView(QWidget *parent) : QWidget(parent) {
  setObjectName(QStringLiteral("lcd"));
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void LcdView::showController(const hid::sim::CharacterLcd &controller) {
  lit_ = controller.displayOn();
  for (int line = 0; line < 2; ++line)
    lines_[line] = controller.visibleLine(line);
  cursor_ = lit_ && (controller.cursorOn() || controller.cursorBlinks())
                ? controller.cursorInView()
                : std::nullopt;
  cursorBlock_ = controller.cursorBlinks();
  update();
}

void LcdView::clear() {
  lit_ = false;
  cursor_.reset();
  update();
}

QString LcdView::text(int line) const {
  if (!lit_ || line < 0 || line > 1)
    return {};
  QString text;
  for (char code : lines_[line])
    text += Shown(uint8_t(code));
  return text;
}

QSize LcdView::sizeHint() const {
  return {2 * kMargin + kColumns * (kCellWidth + kGap) - kGap,
          2 * kMargin + 2 * kCellHeight + kGap};
}

void LcdView::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x20, 0x28, 0x20));
  painter.drawRoundedRect(rect(), 6, 6);
  painter.setBrush(lit_ ? QColor(0x9c, 0xc8, 0x3c) : QColor(0x6e, 0x86, 0x3a));
  painter.drawRect(rect().adjusted(6, 6, -6, -6));

  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPixelSize(kCellHeight - 6);
  font.setBold(true);
  painter.setFont(font);
  const QColor cellColor(0x8e, 0xba, 0x30);
  const QColor ink(0x1c, 0x2c, 0x10);
  for (int line = 0; line < 2; ++line) {
    for (int column = 0; column < kColumns; ++column) {
      const QRect cell(kMargin + column * (kCellWidth + kGap),
                       kMargin + line * (kCellHeight + kGap), kCellWidth,
                       kCellHeight);
      painter.setPen(Qt::NoPen);
      painter.setBrush(cellColor);
      painter.drawRect(cell);
      const bool cursorHere =
          cursor_ && cursor_->line == line && cursor_->column == column;
      if (cursorHere) {
        painter.setBrush(ink);
        painter.drawRect(
            cursorBlock_ ? cell : cell.adjusted(0, cell.height() - 3, 0, 0));
      }
      if (!lit_)
        continue;
      painter.setPen(cursorHere && cursorBlock_ ? cellColor : ink);
      const std::string &shown = lines_[line];
      const char code =
          size_t(column) < shown.size() ? shown[size_t(column)] : ' ';
      painter.drawText(cell, Qt::AlignCenter, QString(Shown(uint8_t(code))));
    }
  }
}

} // namespace simulator
