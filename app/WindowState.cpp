#include "app/WindowState.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QMainWindow>
#include <QSettings>
#include <QStandardPaths>

namespace WindowState {

namespace {

const QString kGeometry = QStringLiteral("window/geometry");
const QString kLogHeader = QStringLiteral("log/header");
const QString kSelected = QStringLiteral("interface/selected");

} // namespace

QString FilePath() {
  return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
         "/window-state.ini";
}

void Restore(QMainWindow *window, QHeaderView *logHeader) {
  const QSettings state(FilePath(), QSettings::IniFormat);
  window->restoreGeometry(state.value(kGeometry).toByteArray());
  logHeader->restoreState(state.value(kLogHeader).toByteArray());
}

std::optional<InterfaceIdentity> SelectedInterface() {
  const QSettings state(FilePath(), QSettings::IniFormat);
  return InterfaceIdentity::fromKey(state.value(kSelected).toString());
}

void Save(const QMainWindow *window, const QHeaderView *logHeader,
          const std::optional<InterfaceIdentity> &selected) {
  QSettings state(FilePath(), QSettings::IniFormat);
  state.setValue(kGeometry, window->saveGeometry());
  state.setValue(kLogHeader, logHeader->saveState());
  if (selected)
    state.setValue(kSelected, selected->key());
  else
    state.remove(kSelected);
  state.sync();
  if (state.status() != QSettings::NoError)
    qWarning("The window's state could not be saved in %s",
             qPrintable(FilePath()));
}

} // namespace WindowState
