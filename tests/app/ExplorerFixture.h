// A real explorer window over the real device library and simulated devices,
// for the window's tests. One simulated backend serves the whole test
// program; each window is loaded, woken and shown afresh in an ExplorerProcess
// of its own, with a watchdog that ends any modal dialog a failing test leaves
// up, the user's configuration in a temporary home, and a failure for any modal
// shown outside a modal scope.
#ifndef PINWORTH_TESTS_EXPLORER_FIXTURE_H
#define PINWORTH_TESTS_EXPLORER_FIXTURE_H

#include "app/ExplorerProcess.h"
#include "app/InterfaceReader.h"
#include "app/PinworthWindowController.h"
#include "app/ReportForm.h"
#include "tests/support/ModalTestSupport.h"

#include "platform/simulated/SimBackend.h"

#include "app/log/LogView.h"
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// Reports as an interface took them, oldest first.
using Wire = std::vector<std::vector<uint8_t>>;

class ExplorerFixture {
public:
  // Installs the backend and a temporary home (HOME and XDG_CONFIG_HOME);
  // call once, from initTestCase().
  void setUp();

  // Makes an ExplorerProcess and loads its first window, wakes its controller
  // and shows it.
  void loadAndWake();
  // Another window of the process, woken and shown (File > New Window).
  explorer::PinworthWindowController *newWindow();
  // Attaches a PinworthA with serial number 1000, then loads and wakes the
  // window; returns the device.
  hid::sim::DeviceID startWithPinworthA();
  // Gives the watchdog timeoutMS from now, for a test that keeps dialogs up
  // longer than its default 10 s.
  void restartWatchdog(int timeoutMS) {
    watchdog_ = std::make_unique<ModalWatchdog>(timeoutMS);
  }
  // Fails the test if the watchdog had to end a modal dialog, then ends the
  // process with its windows.
  void close();
  // Closes the window, then detaches every device; call from cleanup().
  void cleanup();

  hid::sim::SimBackend &backend() { return backend_; }
  QString homePath() const { return home_->path(); }
  explorer::ExplorerProcess &process() const { return *process_; }
  // The process's first window.
  explorer::PinworthWindowController *controller() const {
    return process_->controllers().front();
  }
  QMainWindow *window() const { return controller()->mainWindow(); }
  explorer::LogTableModel *log() const { return controller()->logModel(); }

  // A widget of the window by object name (those MainWindow.ui declares).
  template <typename Widget = QPushButton>
  Widget *widget(const char *name) const {
    return widgetIn<Widget>(controller(), name);
  }
  template <typename Widget = QPushButton>
  static Widget *widgetIn(explorer::PinworthWindowController *window,
                          const char *name) {
    return window->mainWindow()->findChild<Widget *>(QLatin1String(name));
  }
  // Chooses an item of a window's menu ("interfacePopup", "macroPopup") and
  // clicks one of its buttons, as the user does.
  static void chooseIn(explorer::PinworthWindowController *window,
                       const char *menu, int position) {
    choose(widgetIn<QComboBox>(window, menu), position);
  }
  // Clicks, then waits for the answer of the write or poll it made.
  static void clickIn(explorer::PinworthWindowController *window,
                      const char *button);
  // Until the window's write, and the first poll of its polling, have their
  // answers.
  static void waitForDevice(explorer::PinworthWindowController *window);
  // The reports in a window's log from one source ("A 1000 if1").
  static int reportRows(explorer::PinworthWindowController *window,
                        const QString &source);
  // The alert of a failed transfer: verb is "write to" or "read from".
  static QString transferAlert(const char *verb, const QString &reason);
  QComboBox *interfacePopup() const {
    return widget<QComboBox>("interfacePopup");
  }
  QComboBox *macroPopup() const { return widget<QComboBox>("macroPopup"); }
  QLineEdit *reportIDField() const {
    return widget<QLineEdit>("reportIDField");
  }
  QLineEdit *byteField(int index) const; // byte<index>Field, index 0..6
  explorer::LogView *logTable() const {
    return widget<explorer::LogView>("logTable");
  }
  bool addMacroEnabled() const { return widget("addMacroButton")->isEnabled(); }

  // Clicks a button of the window by object name ("writeButton", ...), as
  // clickIn() does.
  void click(const char *buttonName);

  // A menu's titles in order.
  static QStringList titles(const QComboBox *popup);
  // Chooses a menu item as the user does: the menu shows it and sends its
  // action, also when the item was shown already.
  static void choose(QComboBox *popup, int position);
  void chooseInterface(int position) { choose(interfacePopup(), position); }
  void chooseMacro(int position) { choose(macroPopup(), position); }

  // Byte fields 0..6 texts, and enabled states.
  QStringList byteTexts() const;
  QList<bool> byteEnabled() const;
  // The form's texts as "<report ID> <byte 0> ... <byte 6>".
  QString form() const {
    return reportIDField()->text() + ' ' + byteTexts().join(' ');
  }
  // Sets the report ID field's text and byte fields 0.., as far as bytes go.
  void setFormTexts(const QString &reportID, const QStringList &bytes);

  // Announces appended rows to the table, as the next frame would.
  void flushLog();
  // Every logged report, announced or not; not the rows that are not
  // reports.
  QList<core::ReportRecord> records() const;
  // The texts of an announced log row's cells in the record's nine columns,
  // joined by '|'.
  QString rowText(int row) const;
  // Clicks, or double-clicks, a cell of the log table.
  void clickLogRow(int row, Qt::KeyboardModifiers modifiers = {});
  void doubleClickLogRow(int row);
  bool logRowSelected() const {
    return logTable()->selectionModel()->hasSelection();
  }

private:
  hid::sim::SimBackend backend_;
  std::unique_ptr<QTemporaryDir> home_;
  std::unique_ptr<ModalWatchdog> watchdog_;
  std::unique_ptr<explorer::ExplorerProcess> process_;
};

#endif
