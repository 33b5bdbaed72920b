// Modal dialogs inside a modal scope.
//
// Qt's nested modal loops keep delivering timers and socket events, so every
// modal the explorer shows must run inside a runloop::ModalScope: then no
// device notification, and no alert of a device's answer, reaches the window
// under it. Reading goes on: polls, answers and interrupt reports are logged
// while a dialog is up.
#ifndef PINWORTH_EXPLORER_MODAL_DIALOG_H
#define PINWORTH_EXPLORER_MODAL_DIALOG_H

class QDialog;

namespace explorer {

// Shows dialog application-modal and runs its modal loop inside a modal scope;
// returns the code the dialog ended with. The one way the explorer runs a
// modal.
int RunModal(QDialog &dialog);

// From now on, every modal window that is shown outside a modal scope (a
// QMessageBox::question, say) draws a warning on standard error that names it.
// Installing it more than once changes nothing.
void WarnAboutModalsOutsideScope();

} // namespace explorer

#endif
