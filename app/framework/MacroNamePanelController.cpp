#include "app/framework/MacroNamePanelController.h"

#include "app/framework/ModalDialog.h"
#include "ui_MacroName.h"

#include <QDialog>

namespace explorer {

MacroNamePanelController::MacroNamePanelController(QWidget *parent)
    : window_(new QDialog(parent)), ui_(std::make_unique<Ui::MacroName>()) {
  ui_->setupUi(window_);
  connect(ui_->okButton, &QPushButton::clicked, this,
          &MacroNamePanelController::doOK);
  connect(ui_->cancelButton, &QPushButton::clicked, this,
          &MacroNamePanelController::doCancel);
}

MacroNamePanelController::~MacroNamePanelController() {
  delete window_;
}

std::optional<QString>
MacroNamePanelController::chooseMacroName(QWidget *parent) {
  MacroNamePanelController controller(parent);
  std::optional<QString> name;
  if (RunModal(*controller.window_) == kModalStopped)
    name = controller.macroName();
  if (controller.window_)
    controller.window_->close();
  return name;
}

QLineEdit *MacroNamePanelController::nameField() const {
  return ui_->nameField;
}

QString MacroNamePanelController::macroName() const {
  return ui_->nameField->text();
}

void MacroNamePanelController::doOK() {
  window_->done(kModalStopped);
}

void MacroNamePanelController::doCancel() {
  window_->done(kModalAborted);
}

} // namespace explorer
