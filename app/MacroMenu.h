// The explorer's macro menu: item i stands for element i of the macro list
// in the preferences, as last read. It follows the list when it changes,
// also when another window or another explorer changed it; adds a written
// report under a name the user chooses; deletes the chosen macro, never the
// first. The list is always read afresh, under the preferences' lock, when
// it is changed, so that neither the naming panel nor another program makes
// a change work on an old copy.
//
// Main thread only; the widgets belong to the window, the preferences
// outlive the menu.
//
// A deleted macro can be brought back (Ctrl+Z, the latest first) for as
// long as the window is open; it goes back where it was, or at the end of a
// list that has grown shorter since. An element whose text is longer than
// UserDefaults::kElementMaxBytes is shown as a placeholder item and not loaded
// (it stays in the file as it is), and the message bar says so once.
#ifndef PINWORTH_EXPLORER_MACRO_MENU_H
#define PINWORTH_EXPLORER_MACRO_MENU_H

#include "core/preferences/UserDefaults.h"
#include "core/reports/ReportRecord.h"
#include "core/runs/MacroEntry.h"

#include <QObject>

#include <optional>

class QComboBox;
class QWidget;

namespace explorer {

class MessageBar;

class MacroMenu : public QObject {
  Q_OBJECT
public:
  MacroMenu(QComboBox *popup, core::UserDefaults &preferences, QWidget *window,
            MessageBar *messages);

  // Rebuilds the menu from the stored list: one item per element.
  void refill();
  // The macro the chosen item shows, or none: an element that is not a
  // usable record, or a list that changed since the menu was built (the
  // menu then shows the new list).
  std::optional<core::ReportRecord> chosenMacro();
  // Asks for a name and stores the written report under it; an alert says
  // why when it cannot be stored.
  void add(core::ReportRecord written);
  // Deletes the macro the chosen item shows, unless it is the first or the
  // list changed since the menu was built.
  void deleteChosen();
  // Stores again the macro deleted last, if one was; an alert says why
  // when it cannot be stored (it can be tried again).
  void undoDelete();

private:
  struct Deleted {
    qsizetype index;
    QByteArray text;
    QString name;
  };

  void followPreferences();

  QComboBox *popup_;
  core::UserDefaults &preferences_;
  QWidget *window_;
  MessageBar *messages_;
  core::MacroList shown_;
  QList<Deleted> deleted_; // the latest last
  bool toldTooLarge_ = false;
};

} // namespace explorer

#endif
