// The About box: the program's version, licence and the Qt it was built
// with and runs on.
#ifndef PINWORTH_EXPLORER_ABOUT_BOX_H
#define PINWORTH_EXPLORER_ABOUT_BOX_H

class QWidget;

namespace explorer {

// Runs the box modally over parent, inside a modal scope.
void ShowAboutBox(QWidget *parent);

} // namespace explorer

#endif
