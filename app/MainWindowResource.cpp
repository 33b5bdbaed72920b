#include "app/MainWindowResource.h"

#include "app/AboutBox.h"
#include "app/ControllerLinks.h"
#include "app/ExplorerProcess.h"
#include "app/PinworthWindowController.h"
#include "app/capture/RecentSessionsMenu.h"
#include "app/device/DeviceArea.h"
#include "app/framework/ModalDialog.h"
#include "app/framework/WindowMenu.h"
#include "app/timeline/PinTimeline.h"
#include "ui_MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QSplitter>

namespace explorer {

namespace {

// Hexadecimal text lines up in a fixed-pitch font.
void useFixedPitchFont(Ui::MainWindow &ui) {
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (QLineEdit *field :
       {ui.reportIDField, ui.byte0Field, ui.byte1Field, ui.byte2Field,
        ui.byte3Field, ui.byte4Field, ui.byte5Field, ui.byte6Field})
    field->setFont(fixed);
  ui.logTable->setFont(fixed);
  ui.logTable->horizontalHeader()->setFont(QApplication::font());
}

using Action = void (PinworthWindowController::*)(QObject *);

// The control sends the action to the controller, with itself as sender.
template <typename Control, typename Signal>
void connectAction(Control *control, Signal signal,
                   PinworthWindowController *controller, Action action) {
  QObject::connect(control, signal, controller, [controller, control, action] {
    (controller->*action)(control);
  });
}

void connectActions(Ui::MainWindow &ui, PinworthWindowController *controller) {
  using C = PinworthWindowController;
  connectAction(ui.writeButton, &QPushButton::clicked, controller, &C::doWrite);
  connectAction(ui.readButton, &QPushButton::clicked, controller, &C::doRead);
  connectAction(ui.resetButton, &QPushButton::clicked, controller,
                &C::resetReportValues);
  connectAction(ui.ignoreDuplicatesCheckBox, &QCheckBox::clicked, controller,
                &C::duplicateCheckboxClicked);
  connectAction(ui.clearButton, &QPushButton::clicked, controller,
                &C::clearLogEntries);
  connectAction(ui.interfacePopup, &QComboBox::activated, controller,
                &C::interfacePopupChanged);
  connectAction(ui.macroPopup, &QComboBox::activated, controller,
                &C::macroPopupChanged);
  connectAction(ui.addMacroButton, &QPushButton::clicked, controller,
                &C::addMacro);
  connectAction(ui.deleteMacroButton, &QPushButton::clicked, controller,
                &C::deleteMacro);
  connectAction(ui.infoButton, &QPushButton::clicked, controller,
                &C::showInterfaceInfo);
}

// Read's title is "Read" or "Stop Reading", exactly, so it carries no
// mnemonic of its own: Alt+R presses it.
void addReadShortcut(QMainWindow *window, QPushButton *read) {
  auto *shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_R), window);
  QObject::connect(shortcut, &QShortcut::activated, read,
                   [read] { read->animateClick(); });
}

// Interface > Read (Ctrl+R), first in the menu, does what Read does, and
// names what it will do as Read does.
void addReadAction(QMenu &interfaceMenu, PinworthWindowController &controller,
                   QPushButton *read) {
  auto *action = new QAction(QStringLiteral("&Read"), &interfaceMenu);
  action->setObjectName(QStringLiteral("readAction"));
  action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  interfaceMenu.insertAction(interfaceMenu.actions().value(0), action);
  QObject::connect(action, &QAction::triggered, &controller,
                   [&controller] { controller.doRead(&controller); });
  QObject::connect(&controller, &PinworthWindowController::controlsRefreshed,
                   action, [action, read] {
                     action->setText(read->text() == QLatin1String("Read")
                                         ? QStringLiteral("&Read")
                                         : QStringLiteral("Stop &Reading"));
                     action->setEnabled(read->isEnabled());
                   });
}

// The menu bar: the File, Interface and Help menus; returns the Interface
// menu.
QMenu *addMenus(QMainWindow *window, PinworthWindowController *controller,
                ExplorerProcess &process) {
  QMenu *file = window->menuBar()->addMenu(QStringLiteral("&File"));
  QAction *newWindow =
      file->addAction(QStringLiteral("&New Window"), controller,
                      [&process] { process.newWindow(); });
  newWindow->setObjectName(QStringLiteral("newWindowAction"));
  newWindow->setShortcut(QKeySequence::New);
  CaptureSessions &captures = process.captures();
  QAction *open =
      file->addAction(QStringLiteral("&Open Capture…"), window,
                      [&captures, window] { captures.openAsked(window); });
  open->setObjectName(QStringLiteral("openCaptureAction"));
  open->setShortcut(QKeySequence::Open);
  AddRecentSessionsMenu(*file, captures, window);
  QAction *save =
      file->addAction(QStringLiteral("&Save Capture As…"), window,
                      [&captures, window] { captures.saveAs(window); });
  save->setObjectName(QStringLiteral("saveCaptureAction"));
  save->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  QAction *exportCapture =
      file->addAction(QStringLiteral("&Export Capture…"), window,
                      [&captures, window] { captures.exportAsked(window); });
  exportCapture->setObjectName(QStringLiteral("exportCaptureAction"));
  exportCapture->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
  QAction *import =
      file->addAction(QStringLiteral("&Import…"), window,
                      [&captures, window] { captures.importAsked(window); });
  import->setObjectName(QStringLiteral("importAction"));
  file->addSeparator();
  // Shortcuts of their own: a platform theme may give the standard keys
  // none.
  // No Ctrl+W of its own: that key closes the Interface Info window over
  // it, and a shortcut here took the key from it.
  QAction *close = file->addAction(QStringLiteral("&Close Window"), window,
                                   [window] { window->close(); });
  close->setObjectName(QStringLiteral("closeWindowAction"));
  QAction *quit =
      file->addAction(QStringLiteral("&Quit"), window, [&process, window] {
        if (process.mayQuit(window))
          QApplication::quit();
      });
  quit->setObjectName(QStringLiteral("quitAction"));
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  QMenu *interfaceMenu =
      window->menuBar()->addMenu(QStringLiteral("In&terface"));
  interfaceMenu->setObjectName(QStringLiteral("interfaceMenu"));
  QAction *info = interfaceMenu->addAction(
      QStringLiteral("Interface &Info…"), controller,
      [controller] { controller->showInterfaceInfo(controller); });
  info->setObjectName(QStringLiteral("interfaceInfoAction"));
  info->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
  QMenu *help = window->menuBar()->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("helpMenu"));
  QAction *about = help->addAction(QStringLiteral("&About Pinworth Explorer"),
                                   window, [window] { ShowAboutBox(window); });
  about->setObjectName(QStringLiteral("aboutAction"));
  return interfaceMenu;
}

// The window's pin timeline, made the first time it is shown: once the
// window's log is there. It reads the log from its first report. Its pins'
// names and order are the window's state, saved as soon as the user changes
// them.
PinTimeline *makePinTimeline(PinworthWindowController &controller,
                             ExplorerProcess &process,
                             const Ui::MainWindow &ui) {
  auto *timeline =
      new PinTimeline(*controller.logModel(), *ui.logTable, ui.content);
  const WindowState &state = process.windowState();
  const int number = controller.number();
  timeline->setPinLayout(state.pinLayout(number));
  timeline->setWholeExport([&controller, &process] {
    process.captures().exportAsked(controller.mainWindow(),
                                   interop::Format::Vcd);
  });
  QObject::connect(timeline, &PinTimeline::pinsArranged, timeline,
                   [&state, number, timeline] {
                     state.savePinLayout(number, timeline->pinLayout());
                   });
  auto *split = ui.content->findChild<QSplitter *>(QStringLiteral("logSplit"));
  split->addWidget(timeline);
  split->setStretchFactor(split->indexOf(timeline), 1);
  return timeline;
}

// Below the form and the macros, the device area, the log and the pin
// timeline share the room left in a split that the user drags; the log
// takes what the others leave.
void addLogSplit(const Ui::MainWindow &ui, QWidget *deviceArea) {
  auto *split = new QSplitter(Qt::Vertical, ui.content);
  split->setObjectName(QStringLiteral("logSplit"));
  split->setChildrenCollapsible(false);
  ui.mainLayout->removeWidget(ui.logGroup);
  split->addWidget(deviceArea);
  split->addWidget(ui.logGroup);
  split->setStretchFactor(0, 0);
  split->setStretchFactor(1, 1);
  ui.mainLayout->addWidget(split, 1);
}

// The pin timeline under the log, shown and hidden from the Interface menu.
void addPinTimeline(const Ui::MainWindow &ui, QMenu &interfaceMenu,
                    PinworthWindowController &controller,
                    ExplorerProcess &process) {
  QAction *shown =
      interfaceMenu.addAction(QStringLiteral("Show Pin &Timeline"));
  shown->setObjectName(QStringLiteral("showPinTimelineAction"));
  shown->setCheckable(true);
  shown->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  QObject::connect(
      shown, &QAction::toggled, ui.content,
      [&controller, &process, ui,
       timeline = static_cast<PinTimeline *>(nullptr)](bool show) mutable {
        if (!timeline && !show)
          return;
        if (!timeline)
          timeline = makePinTimeline(controller, process, ui);
        timeline->setVisible(show);
        if (show)
          timeline->setFocus();
      });
}

} // namespace

MainWindowResource::MainWindowResource(ExplorerProcess &process, int number)
    : window_(std::make_unique<QMainWindow>()) {
  WarnAboutModalsOutsideScope();
  Ui::MainWindow ui;
  ui.setupUi(window_.get());
  useFixedPitchFont(ui);
  addReadShortcut(window_.get(), ui.readButton);
  PinworthWindowOutlets outlets;
  outlets.logTable = ui.logTable;
  outlets.window = window_.get();
  outlets.interfacePopup = ui.interfacePopup;
  outlets.macroPopup = ui.macroPopup;
  outlets.reportIDField = ui.reportIDField;
  outlets.ignoreDuplicatesCheckBox = ui.ignoreDuplicatesCheckBox;
  outlets.readButton = ui.readButton;
  outlets.writeButton = ui.writeButton;
  outlets.addMacroButton = ui.addMacroButton;
  outlets.logFilterField = ui.logFilterField;
  outlets.exportButton = ui.exportButton;
  controller_ = std::make_unique<PinworthWindowController>(
      outlets,
      WindowShares{process.windowState(), process.listeners(),
                   process.preferences(),
                   [&process] { process.startLibrary(); }},
      number);
  connectActions(ui, controller_.get());
  QMenu *interfaceMenu = addMenus(window_.get(), controller_.get(), process);
  addReadAction(*interfaceMenu, *controller_, ui.readButton);
  AddWindowMenu(*window_);
  target_ = std::make_unique<ControllerTarget>(*controller_);
  log_ = std::make_unique<ControllerLog>(*controller_);
  auto *deviceArea = new DeviceArea(
      {*target_, *log_, process.listeners(), process.sequences()},
      *interfaceMenu, ui.content, ui.ignoreDuplicatesCheckBox);
  replayPanel_ = &deviceArea->replayPanel();
  addLogSplit(ui, deviceArea);
  addPinTimeline(ui, *interfaceMenu, *controller_, process);
}

MainWindowResource::~MainWindowResource() = default;

} // namespace explorer
