// The controller of the explorer's main window.
//
// Exactly one exists at a time. The main window resource creates it with its
// outlets (MainWindowResource); awakeFromNib() then starts the device library
// and brings the window to its first state. It owns the window's state: the
// report form's layout, the report log and the last value read. It receives
// every action of the window, and PinworthCallback() tells it, through
// gWindowController, when a device arrives or leaves.
//
// Beyond what the original window did, the controller keeps the selection on
// the same interface (model, serial and interface number) across rebuilds of
// the interface menu, and goes on reading it; it says in the status bar what
// it is doing, and restores and saves the window's state (WindowState.h).
//
// Main thread only.
#ifndef PINWORTH_EXPLORER_PINWORTH_WINDOW_CONTROLLER_H
#define PINWORTH_EXPLORER_PINWORTH_WINDOW_CONTROLLER_H

#include "app/MacroEntry.h"
#include "app/ReportFormFields.h"
#include "app/log/LogTableModel.h"
#include "core/ArmedInterfaces.h"
#include "core/InterfaceIdentity.h"
#include "core/InterfaceInfo.h"
#include "core/ReportRecord.h"

#include "platform/HIDServices.h"
#include "runloop/DefaultMode.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class InterfaceInfoWindow;
class LogPanel;
class PermissionHelp;
class LogView;
class QWidget;

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
  QPushButton *addMacroButton = nullptr;
  // The log's tools beside its table.
  QLineEdit *logFilterField = nullptr;
  QPushButton *exportButton = nullptr;
};

// The interrupt-report handler of an armed interface: logs the report in
// target (bufferSize bytes, the report ID byte first) to the controller
// refcon, whose ArmedInterfaces makes sure it is alive. A failed or empty
// report is dropped.
void reportHandlerCallback(void *target, hid::Status result, void *refcon,
                           void *sender, uint32_t bufferSize);

class PinworthWindowController : public QObject {
  Q_OBJECT
public:
  explicit PinworthWindowController(const PinworthWindowOutlets &outlets);
  // Saves the window's state, stops reading, unregisters the device callback
  // and clears gWindowController, so that a later controller can take over.
  ~PinworthWindowController() override;

  // Registers the six default macros as the registered value of the macro
  // list. Runs once per process, before the first controller is made.
  static void initialize();

  // Brings the woken window to its first state, as the window state file
  // left it; called once, after loading.
  void awakeFromNib();

  // Refills the interface menu from the library's list, rebuilt when a
  // device change left it dirty. The selection stays on the interface it
  // was on while that is attached, and so does reading; otherwise reading
  // stops and the first interface is selected. The form is laid out for the
  // selection, and the interfaces 1 that were armed are armed again.
  void populateInterfacePopup();
  QString nameForPinworthInterfaceType(int interfaceType) const;

  void stopReading();
  // Starts polling when the selected interface is an interface 0, or arms it
  // when it is an interface 1; does nothing when none is selected.
  void startReading();
  // One poll of the selected interface 0; a failure shows an alert and stops
  // polling. inTimer is the poll timer, or null for the first poll.
  void read(runloop::DefaultModeTimer *inTimer);

  // Appends a report to the log: inSize data bytes at inData, copied.
  // inDirection is kReportDirectionIn or kReportDirectionOut; inReportID is
  // kNoReportID for a report without one.
  void addLogEntryWithDirection(const QString &inDirection, int inReportID,
                                int inSize, const uint8_t *inData);
  // The same, with the interface the report went to or came from.
  void addLogEntryWithDirection(const QString &inDirection, int inReportID,
                                int inSize, const uint8_t *inData,
                                const std::optional<InterfaceIdentity> &source);
  // A new report record holding its own copy of the inSize bytes at inData.
  static ReportRecord logEntryWithDirection(const QString &inDirection,
                                            int inReportID, int inSize,
                                            const uint8_t *inData,
                                            const QString &inName);
  // Loads a written report's ID and data bytes into the report form; a read
  // report changes nothing.
  void updateInterfaceFromLogEntry(const ReportRecord &inLogEntry);
  // inData is the report, or no value for none.
  void setLastValueRead(const std::optional<QByteArray> &inData);
  // Rebuilds the macro menu from the stored list: one item per element.
  void updateMacroPopup();

  // The log, the table's data source; null before wake-up.
  LogTableModel *logModel() const { return logEntries.get(); }
  LogPanel *logPanel() const { return logTools.get(); }
  int32_t currentReportSize() const { return reportSize; }
  bool readingInProgress() const { return isReading; }
  bool pollTimerScheduled() const { return readTimer.isActive(); }
  bool ignoresDuplicates() const { return ignoreDuplicates; }
  // The identity of the selected interface, if one is.
  std::optional<InterfaceIdentity> selectedInterface() const;
  // The status bar's account of what the explorer is doing.
  QString activityText() const;

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

private:
  // The report of the current row of the log table when it is selected, or
  // else of the first selected row; -1 for none.
  int selectedLogRow() const;
  // The report form's byte field with the tag, or null.
  QLineEdit *byteFieldWithTag(int tag) const;
  QWidget *contentView() const;
  void createLog();
  void createFormAndStatus();
  // The layout change of interfacePopupChanged().
  void layOutForm();
  void startPolling();
  // Arms the interface 1 at the list position; a failure is kept for the
  // status bar.
  void armInterface(int position, const InterfaceIdentity &identity);
  void macrosChangedOnDisk();
  // Shows the alert of a failed write or poll, or of bad form text, with the
  // reason below the message when there is one.
  void alert(const QString &title, const QString &message,
             const QString &reason = {});
  void logLostReports(const void *sender, uint32_t count);
  void updateStatus();
  // Says in the status bar when a loaded macro does not fit the layout.
  void checkMacroFitsTheForm(const ReportRecord &macro);
  // Reads what the selected interface says about itself, for the report
  // check and the Interface Info window when it is shown.
  void refreshSelectedInfo();
  void fillInfoWindow();
  // Says in the status bar when the report in the form is not one the
  // selected interface's descriptor declares; an unparseable report ID is
  // left to Write's own alert.
  void updateReportCheck();
  friend void reportHandlerCallback(void *, hid::Status, void *, void *,
                                    uint32_t);

  int32_t reportSize = 0;
  bool isReading = false;
  // Scheduled while polling; stopped, never destroyed, by stopReading(),
  // which may run inside one of its ticks.
  runloop::DefaultModeTimer readTimer;
  bool ignoreDuplicates = false;
  std::unique_ptr<LogTableModel> logEntries;
  LogView *const logTable;
  QMainWindow *const window;
  QComboBox *const interfacePopup;
  QComboBox *const macroPopup;
  QLineEdit *const reportIDField;
  QCheckBox *const ignoreDuplicatesCheckBox;
  QPushButton *const readButton;
  QPushButton *const addMacroButton;
  std::optional<QByteArray> lastValueRead;
  // The macro list the macro menu shows, item i element i.
  MacroList shownMacros;
  std::unique_ptr<ReportFormFields> formFields;
  std::unique_ptr<LogPanel> logTools;
  QLineEdit *const logFilterField;
  QPushButton *const exportButton;
  QLabel *activityLabel = nullptr;
  QLabel *rowsLabel = nullptr;
  QLabel *reportCheckLabel = nullptr;
  PermissionHelp *permissionHelp = nullptr; // the window's

  // What the selected interface said about itself; none when none is.
  std::optional<InterfaceInfo> selectedInfo;
  // Made when first shown; a window of its own over the main window.
  std::unique_ptr<InterfaceInfoWindow> infoWindow;
  QTimer statusTimer;
  // The selection the window state file holds, until the first fill.
  std::optional<InterfaceIdentity> restoredSelection;
  QElapsedTimer clock;
  std::deque<qint64> recentPolls; // clock times of the last second's polls
  QHash<InterfaceIdentity, quint64> interruptReports; // since armed
  QHash<InterfaceIdentity, quint64> lostReports;      // likewise
  // The interface whose arming failed last, and why.
  std::optional<std::pair<InterfaceIdentity, QString>> armFailure;
  // The interfaces 1 armed by Read, until the next rebuild of the list.
  ArmedInterfaces armedInterfaces{reportHandlerCallback, this};
};

// The one controller, while it exists; null otherwise.
extern PinworthWindowController *gWindowController;

// The library's device-change callback: rebuilds the interface menu of
// gWindowController. inRefCon is ignored.
void PinworthCallback(void *inRefCon);

#endif
