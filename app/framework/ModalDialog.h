// Modal dialogs inside a modal scope.
//
// Qt's nested modal loops keep delivering timers and socket events, so every
// modal the explorer shows must run inside a runloop::ModalScope: then no poll
// tick, interrupt report or device notification reaches the window under it.
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
