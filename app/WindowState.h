// What the explorer's windows keep across restarts: each window's size and
// place, its log's column widths and order, and its selected interface. They
// live in a state file of their own beside the preferences
// ("window-state.ini"), never in the macro list's file; a missing or
// unreadable one changes nothing.
//
// Windows are numbered from 0 in the order they are open: window 0's state
// is the file's top level, window n's the group "window-<n+1>", so that a
// second window opened at the next start takes the place the second window
// had.
#ifndef PINWORTH_EXPLORER_WINDOW_STATE_H
#define PINWORTH_EXPLORER_WINDOW_STATE_H

#include "core/InterfaceIdentity.h"

#include <QString>

#include <optional>

class QHeaderView;
class QMainWindow;

class WindowState {
public:
  explicit WindowState(QString filePath);

  // "window-state.ini" in QStandardPaths::AppConfigLocation, which the
  // application's organisation and name must have set.
  static QString StandardFilePath();
  const QString &filePath() const { return filePath_; }

  // Restores what was saved last for window number into window and the
  // log's header, then fits the window, frame included, on its screen.
  void restore(int number, QMainWindow *window, QHeaderView *logHeader) const;
  std::optional<InterfaceIdentity> selectedInterface(int number) const;

  // Saves window number's state; a state that cannot be saved is reported
  // on standard error.
  void save(int number, const QMainWindow *window, const QHeaderView *logHeader,
            const std::optional<InterfaceIdentity> &selected) const;

private:
  QString filePath_;
};

#endif
