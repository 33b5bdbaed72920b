// The controller of one explorer window.
//
// The window's resource (MainWindowResource) creates it with its outlets;
// awakeFromNib() then starts the device library if no window has yet, and
// brings the window to its first state, as the window state file left it.
// It receives every action of the window and hands each to the part of the
// window that owns it:
// - the interface menu (InterfaceMenu): the menu, the restored selection and
//   the permission bar;
// - the report form (ReportForm): its layout, parsing, loading a record and
//   the descriptor check;
// - reading (InterfaceReader): polling and listening, and their counts, with
//   the stops of each (ReadingMenu);
// - the macro menu (MacroMenu): the menu and the stored list;
// - the log (LogTableModel, LogPanel) and the status bar (ActivityStatus).
// Writing is its own: it checks the form, sends the report to the selected
// interface and logs it, or says why not in an alert.
//
// The session's PinworthCallback() tells every window when a device
// arrives or leaves; the selection then stays on the interface it was on
// while that is attached, and so does reading.
//
// Main thread only.
#ifndef PINWORTH_EXPLORER_PINWORTH_WINDOW_CONTROLLER_H
#define PINWORTH_EXPLORER_PINWORTH_WINDOW_CONTROLLER_H

#include "app/InterfaceMenu.h"
#include "app/log/LogTableModel.h"
#include "core/interfaces/InterfaceIdentity.h"
#include "core/interfaces/InterfaceInfo.h"
#include "core/reports/ReportRecord.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QTimer;
namespace core {
class InterfaceListeners;
class UserDefaults;
} // namespace core

namespace explorer {

class ActivityStatus;
class InterfaceReader;
class LogPanel;
class LogView;
class MessageBar;
class MacroMenu;
class ReadingMenu;
class WindowState;

// What a window takes from its session: the file its place is kept in, the
// interfaces armed for every window, the preferences, and the start of the
// device library (once, for the first window).
struct WindowShares {
  const WindowState &windowState;
  core::InterfaceListeners &listeners;
  core::UserDefaults &preferences;
  std::function<void()> startLibrary;
};

class ReportForm;
class ReportWriter;

// The widgets of the main window that the controller uses by name. They
// belong to the window, which outlives the controller.
struct PinworthWindowOutlets {
  LogView *logTable = nullptr;
  QMainWindow *window = nullptr;
  QComboBox *interfacePopup = nullptr;
  QComboBox *macroPopup = nullptr;
  QLineEdit *reportIDField = nullptr;
  QCheckBox *ignoreDuplicatesCheckBox = nullptr;
  QPushButton *readButton = nullptr;
  QPushButton *writeButton = nullptr;
  QPushButton *addMacroButton = nullptr;
  // The log's tools beside its table.
  QLineEdit *logFilterField = nullptr;
  QPushButton *exportButton = nullptr;
};

class PinworthWindowController : public QObject {
  Q_OBJECT
public:
  // number is the window's among the session's open windows, for its state.
  PinworthWindowController(const PinworthWindowOutlets &outlets,
                           WindowShares shares, int number);
  // Saves the window's state and stops its reading; the other windows go
  // on.
  ~PinworthWindowController() override;

  // Registers the six default macros as the registered value of the macro
  // list in preferences. The session calls it once, before any window.
  static void initialize(core::UserDefaults &preferences);

  // Brings the woken window to its first state; called once, after loading.
  void awakeFromNib();

  // Refills the interface menu from the library's list, rebuilt when a
  // device change left it dirty. The selection stays on the interface it
  // was on while that is attached, and so does reading; otherwise reading
  // stops. The form is laid out for the selection.
  void populateInterfacePopup();
  QString nameForPinworthInterfaceType(int interfaceType) const {
    return InterfaceMenu::NameForInterfaceType(interfaceType);
  }

  // Whether the selected interface is read (polled or listened to), which
  // Read then stops.
  bool readsSelected() const;
  // Stops the selected interface's reading; the reader tells it
  // (readingEvent), which refreshes the controls.
  void stopReading();
  // Starts polling when the selected interface is an interface 0, or
  // listens to it when it is an interface 1; does nothing when none is
  // selected.
  void startReading();
  // One poll of each interface 0 being polled; a failure stops that polling
  // and shows an alert. inTimer is the poll timer, or null for the first poll.
  void read(QTimer *inTimer);

  // Appends a report to the log: inSize data bytes at inData, copied, sent
  // to or read from source when known, at the time it was read or written
  // (now when not given). inDirection is kReportDirectionIn or
  // kReportDirectionOut; inReportID is kNoReportID for a report without one.
  void addLogEntryWithDirection(
      const QString &inDirection, int inReportID, int inSize,
      const uint8_t *inData,
      const std::optional<core::InterfaceIdentity> &source = std::nullopt,
      std::optional<hid::ReportTime> at = std::nullopt);
  // A new report record holding its own copy of the inSize bytes at inData.
  static core::ReportRecord logEntryWithDirection(const QString &inDirection,
                                                  int inReportID, int inSize,
                                                  const uint8_t *inData,
                                                  const QString &inName);
  // Loads a written report's ID and data bytes into the report form; a read
  // report changes nothing.
  void updateInterfaceFromLogEntry(const core::ReportRecord &inLogEntry);
  // inData is the report, or no value for none.
  void setLastValueRead(const std::optional<QByteArray> &inData);
  // Rebuilds the macro menu from the stored list: one item per element.
  void updateMacroPopup();

  QMainWindow *mainWindow() const { return window; }
  // The window's number among the session's windows, for its state.
  int number() const { return windowNumber; }
  // The log, the table's data source; null before wake-up.
  LogTableModel *logModel() const { return logEntries.get(); }
  MessageBar *messageBar() const;
  LogPanel *logPanel() const { return logTools.get(); }
  LogView *logView() const { return logTable; }
  const ReportForm &reportForm() const { return *form; }
  const InterfaceReader &reading() const { return *reader; }
  // After wake-up: the menu and its target, and the writer that checks,
  // sends and alerts for every write of the window.
  const InterfaceMenu &interfaceMenu() const { return *interfaces; }
  ReportWriter &reportWriter() const { return *writer; }
  // A write of the window's, or the first poll since polling started, waits
  // for its device's answer.
  bool waitsForDevice() const;
  // The identity of the selected interface, if one is.
  std::optional<core::InterfaceIdentity> selectedInterface() const;

public slots:
  // Actions; the sender is ignored.
  void doWrite(QObject *sender);
  void doRead(QObject *sender);
  void interfacePopupChanged(QObject *sender);
  void clearLogEntries(QObject *sender);
  void macroPopupChanged(QObject *sender);
  void addMacro(QObject *sender);
  void deleteMacro(QObject *sender);
  void resetReportValues(QObject *sender);
  void duplicateCheckboxClicked(QObject *sender);
  // Shows the Interface Info window for the selected interface.
  void showInterfaceInfo(QObject *sender);
  // The log table's double action and selection notification.
  void logTableDoubleClicked();
  void tableViewSelectionDidChange();

signals:
  // Write and Read were brought up to date: the selection, its target's
  // state or reading may have changed.
  void controlsRefreshed();
  // A report was appended to the log, as addLogEntryWithDirection() took it;
  // inData lasts for the call.
  void reportLogged(const QString &inDirection, int inReportID, int inSize,
                    const uint8_t *inData,
                    const std::optional<core::InterfaceIdentity> &source);

private:
  void createLog();
  void createParts();
  void updateReportCheck();
  void refreshControls();

  const WindowShares shares;
  const int windowNumber;
  std::unique_ptr<LogTableModel> logEntries;
  LogView *const logTable;
  QMainWindow *const window;
  QComboBox *const interfacePopup;
  QComboBox *const macroPopup;
  QLineEdit *const reportIDField;
  QCheckBox *const ignoreDuplicatesCheckBox;
  QPushButton *const readButton;
  QPushButton *const writeButton;
  QPushButton *const addMacroButton;
  QLineEdit *const logFilterField;
  QPushButton *const exportButton;
  std::unique_ptr<InterfaceMenu> interfaces;
  std::unique_ptr<ReportForm> form;
  std::unique_ptr<ReportWriter> writer;
  std::unique_ptr<InterfaceReader> reader;
  std::unique_ptr<ReadingMenu> readingStops;
  std::unique_ptr<MacroMenu> macros;
  std::unique_ptr<ActivityStatus> status;
  std::unique_ptr<LogPanel> logTools;
};

// The window most recently activated (or woken), while one exists; null
// otherwise.
extern PinworthWindowController *gWindowController;

} // namespace explorer

#endif
