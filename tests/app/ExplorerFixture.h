// A real explorer window over the real device library and simulated devices,
// for the window's tests. One simulated backend serves the whole test
// program; each window is loaded, woken and shown afresh, and the user's
// configuration lives in a temporary home.
#ifndef PINWORTH_TESTS_EXPLORER_FIXTURE_H
#define PINWORTH_TESTS_EXPLORER_FIXTURE_H

#include "MainWindowResource.h"
#include "PinworthWindowController.h"

#include "platform/sim/SimBackend.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

#include <memory>

class ExplorerFixture {
public:
  // Installs the backend and a temporary home (HOME and XDG_CONFIG_HOME) for
  // the user's configuration; call once before any window, from
  // initTestCase().
  void setUp();
  // Detaches every device and lets the library see it; call between windows.
  void detachAllDevices();

  // Loads the main window; wake() then wakes and shows it.
  void load();
  void wake();
  void loadAndWake() {
    load();
    wake();
  }
  // Destroys the window and its controller.
  void close();

  hid::sim::SimBackend &backend() { return backend_; }
  QString homePath() const { return home_->path(); }
  PinworthWindowController *controller() const {
    return resource_->controller();
  }
  QMainWindow *window() const { return resource_->window(); }
  LogTableModel *log() const { return controller()->logModel(); }

  // Widgets of the window by object name (those MainWindow.ui declares).
  template <typename Widget> Widget *widget(const char *name) const {
    return window()->findChild<Widget *>(QLatin1String(name));
  }
  QComboBox *interfacePopup() const;
  QLineEdit *reportIDField() const;
  QLineEdit *byteField(int index) const; // byte<index>Field, index 0..6
  QLabel *caption(int tag) const;        // caption label with tag 200..203
  QTableView *logTable() const;
  QPushButton *addMacroButton() const;
  QPushButton *button(const char *name) const;
  QComboBox *macroPopup() const;

  // Clicks a button of the window by object name ("writeButton", ...).
  void click(const char *buttonName);

  // The interface menu's titles in order.
  QStringList interfaceTitles() const;
  // Chooses a menu item as the user does: the menu shows it and sends its
  // action, also when the item was shown already.
  void chooseInterface(int position);
  // The macro menu's titles in order, and choosing one as the user does.
  QStringList macroTitles() const;
  void chooseMacro(int position);
  // Byte fields 0..6 texts, and enabled states.
  QStringList byteTexts() const;
  QList<bool> byteEnabled() const;
  // Types texts into byte fields 0.., as far as texts go.
  void typeBytes(const QStringList &texts);

  // Lets the event loop announce appended rows to the table.
  void flushLog();
  // The texts of a log row's cells, in column order.
  QStringList rowTexts(int row) const;
  // Clicks, or double-clicks, a cell of the log table.
  void clickLogRow(int row);
  void doubleClickLogRow(int row);

private:
  hid::sim::SimBackend backend_;
  std::unique_ptr<QTemporaryDir> home_;
  std::unique_ptr<MainWindowResource> resource_;
};

#endif
