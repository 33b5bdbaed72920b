#include "app/WindowState.h"

#include <QHeaderView>
#include <QMainWindow>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString kGeometry = QStringLiteral("window/geometry");
const QString kLogHeader = QStringLiteral("log/header");
const QString kSelected = QStringLiteral("interface/selected");

// The group of window number's keys; none for the first window.
QString Group(int number) {
  return number == 0 ? QString() : QStringLiteral("window-%1").arg(number + 1);
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
  logHeader->restoreState(state.value(kLogHeader).toByteArray());
}

std::optional<InterfaceIdentity>
WindowState::selectedInterface(int number) const {
  QSettings state(filePath_, QSettings::IniFormat);
  state.beginGroup(Group(number));
  return InterfaceIdentity::fromKey(state.value(kSelected).toString());
}

void WindowState::save(int number, const QMainWindow *window,
                       const QHeaderView *logHeader,
                       const std::optional<InterfaceIdentity> &selected) const {
  QSettings state(filePath_, QSettings::IniFormat);
  state.beginGroup(Group(number));
  state.setValue(kGeometry, window->saveGeometry());
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
