#include "app/WindowState.h"

#include <QHeaderView>
#include <QMainWindow>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStyle>

#include <algorithm>

namespace explorer {

namespace {

const QString kGeometry = QStringLiteral("window/geometry");
const QString kPlace = QStringLiteral("window/place"); // its inside, unframed
const QString kLogHeader = QStringLiteral("log/header");
const QString kSelected = QStringLiteral("interface/selected");
const QString kPinNames = QStringLiteral("timeline/pinNames");
const QString kPinOrder = QStringLiteral("timeline/pinOrder");
const QString kNoPins = QStringLiteral("-"); // every pin hidden
constexpr int kPins = 32;

// The group of window number's keys; none for the first window.
QString Group(int number) {
  return number == 0 ? QString() : QStringLiteral("window-%1").arg(number + 1);
}

// Puts window, not shown yet, at place (its inside, without the frame a
// window manager adds) shrunk and moved so that it and that frame lie in the
// available area of its screen (a window saved at one scale or on a larger
// screen may not fit this one). The inside is placed, not the frame, so that
// a window comes back where it was, not a frame's width further each time.
void PlaceOnScreen(QWidget *window, const QRect &place) {
  const QRect available = window->screen()->availableGeometry();
  const int border =
      window->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
  const int titleBar = window->style()->pixelMetric(QStyle::PM_TitleBarHeight);
  const QSize room(available.width() - 2 * border,
                   available.height() - titleBar - 2 * border);
  const QSize size = place.size().boundedTo(room);
  const int left = available.left() + border;
  const int top = available.top() + titleBar + border;
  const int x =
      std::clamp(place.x(), left,
                 std::max(left, available.right() + 1 - border - size.width()));
  const int y = std::clamp(
      place.y(), top,
      std::max(top, available.bottom() + 1 - border - size.height()));
  window->setGeometry(x, y, size.width(), size.height());
}

} // namespace

WindowState::WindowState(QString filePath) : filePath_(std::move(filePath)) {}

QString WindowState::StandardFilePath() {
  return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
         "/window-state.ini";
}

void WindowState::restore(int number, QMainWindow *window,
                          QHeaderView *logHeader) const {
  QSettings state(filePath_, QSettings::IniFormat);
  state.beginGroup(Group(number));
  window->restoreGeometry(state.value(kGeometry).toByteArray());
  const QRect place = state.value(kPlace).toRect();
  if (!window->isMaximized() && !window->isFullScreen())
    PlaceOnScreen(window, place.isValid() ? place : window->geometry());
  logHeader->restoreState(state.value(kLogHeader).toByteArray());
}

std::optional<core::InterfaceIdentity>
WindowState::selectedInterface(int number) const {
  QSettings state(filePath_, QSettings::IniFormat);
  state.beginGroup(Group(number));
  return core::InterfaceIdentity::fromKey(state.value(kSelected).toString());
}

PinLayout WindowState::pinLayout(int number) const {
  QSettings state(filePath_, QSettings::IniFormat);
  state.beginGroup(Group(number));
  PinLayout layout;
  const QStringList names = state.value(kPinNames).toStringList();
  if (names.size() == kPins)
    layout.names = names;
  const QStringList order = state.value(kPinOrder).toStringList();
  if (order.isEmpty())
    return layout;
  std::vector<bool> seen(kPins);
  std::vector<int> pins;
  for (const QString &text : order) {
    bool isNumber = false;
    const int pin = text.toInt(&isNumber);
    if (text == kNoPins && order.size() == 1)
      break;
    if (!isNumber || pin < 0 || pin >= kPins || seen[size_t(pin)])
      return layout;
    seen[size_t(pin)] = true;
    pins.push_back(pin);
  }
  layout.order = pins;
  return layout;
}

void WindowState::savePinLayout(int number, const PinLayout &layout) const {
  QSettings state(filePath_, QSettings::IniFormat);
  state.beginGroup(Group(number));
  state.setValue(kPinNames, QStringList(layout.names));
  if (layout.order) {
    QStringList order;
    for (int pin : *layout.order)
      order << QString::number(pin);
    // An empty list would read back as none saved.
    state.setValue(kPinOrder, order.isEmpty() ? QStringList{kNoPins} : order);
  } else
    state.remove(kPinOrder);
  state.endGroup();
  state.sync();
  if (state.status() != QSettings::NoError)
    qWarning("The pin timeline's pins could not be saved in %s",
             qPrintable(filePath_));
}

void WindowState::save(
    int number, const QMainWindow *window, const QHeaderView *logHeader,
    const std::optional<core::InterfaceIdentity> &selected) const {
  QSettings state(filePath_, QSettings::IniFormat);
  state.beginGroup(Group(number));
  state.setValue(kGeometry, window->saveGeometry());
  state.setValue(kPlace, window->normalGeometry());
  state.setValue(kLogHeader, logHeader->saveState());
  if (selected)
    state.setValue(kSelected, selected->key());
  else
    state.remove(kSelected);
  state.endGroup();
  state.sync();
  if (state.status() != QSettings::NoError)
    qWarning("The window's state could not be saved in %s",
             qPrintable(filePath_));
}

} // namespace explorer
