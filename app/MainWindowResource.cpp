#include "MainWindowResource.h"

#include "PinworthWindowController.h"
#include "framework/ModalSession.h"
#include "ui_MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QFontDatabase>
#include <QHeaderView>

#include <mutex>

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
}

// Ctrl+Q ends the program, as in any desktop tool.
void addQuitShortcut(QMainWindow *window) {
  auto *quit = new QAction(window);
  quit->setShortcut(QKeySequence::Quit);
  QObject::connect(quit, &QAction::triggered, &QApplication::quit);
  window->addAction(quit);
}

} // namespace

MainWindowResource::MainWindowResource()
    : window_(std::make_unique<QMainWindow>()) {
  static std::once_flag initialized;
  std::call_once(initialized, &PinworthWindowController::initialize);
  WarnAboutModalsOutsideScope();
  Ui::MainWindow ui;
  ui.setupUi(window_.get());
  useFixedPitchFont(ui);
  addQuitShortcut(window_.get());
  PinworthWindowOutlets outlets;
  outlets.logTable = ui.logTable;
  outlets.window = window_.get();
  outlets.interfacePopup = ui.interfacePopup;
  outlets.macroPopup = ui.macroPopup;
  outlets.reportIDField = ui.reportIDField;
  outlets.ignoreDuplicatesCheckBox = ui.ignoreDuplicatesCheckBox;
  outlets.readButton = ui.readButton;
  outlets.addMacroButton = ui.addMacroButton;
  outlets.logFilterField = ui.logFilterField;
  outlets.exportButton = ui.exportButton;
  controller_ = std::make_unique<PinworthWindowController>(outlets);
  connectActions(ui, controller_.get());
}

MainWindowResource::~MainWindowResource() = default;

int RunExplorer(QApplication &application, const QString &description,
                const std::function<void(QMainWindow &)> &beforeShow) {
  QApplication::setOrganizationName(QStringLiteral("Pinworth"));
  QApplication::setApplicationName(QStringLiteral("Pinworth Explorer"));
  QApplication::setApplicationVersion(QStringLiteral(PINWORTH_VERSION));
  QCommandLineParser options;
  options.setApplicationDescription(description);
  options.addHelpOption();
  options.addVersionOption();
  options.process(application);
  MainWindowResource resource;
  resource.controller()->awakeFromNib();
  if (beforeShow)
    beforeShow(*resource.window());
  resource.window()->show();
  return application.exec();
}
