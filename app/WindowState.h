// What the explorer's windows keep across restarts: each window's size and
// place, its log's column widths and order, its selected interface and the
// names and order of its pin timeline's pins. They
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

#include "core/interfaces/InterfaceIdentity.h"

#include <QList>
#include <QString>

#include <optional>
#include <vector>

class QHeaderView;
class QMainWindow;

namespace explorer {

// The pins of a pin timeline: their names by pin (empty for none), and the
// pins shown, top to bottom (none saved: every pin in order).
struct PinLayout {
  QList<QString> names;
  std::optional<std::vector<int>> order;
};

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
  std::optional<core::InterfaceIdentity> selectedInterface(int number) const;

  // Saves window number's state; a state that cannot be saved is reported
  // on standard error.
  void save(int number, const QMainWindow *window, const QHeaderView *logHeader,
            const std::optional<core::InterfaceIdentity> &selected) const;

  // The pin timeline's pins as saved last; a saved list that is not one of
  // pins 0..31, each at most once, is left out.
  PinLayout pinLayout(int number) const;
  void savePinLayout(int number, const PinLayout &layout) const;

private:
  QString filePath_;
};

} // namespace explorer

#endif
