// The explorer's save dialogs: every export, Save Capture As and the saved
// images and texts ask for their path here.
//
// A dialog opens in the folder the user last saved to (the home folder at
// first, never the private sessions folder) with a name suggested, and the
// default suffix follows the filter chosen, so that a name typed without an
// extension gets the filter's. The folder is kept in the state file named by
// KeepSaveFolderIn() when one is, otherwise for the process only.
//
// Main thread only.
#ifndef PINWORTH_EXPLORER_SAVE_DIALOG_H
#define PINWORTH_EXPLORER_SAVE_DIALOG_H

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace explorer {

// The filter chosen, and the path: with the filter's extension when the
// name typed had none.
struct SavePath {
  QString path;
  QString filter;
};

// Runs a save dialog titled title over parent with filters (the first
// selected, or selectedFilter when it is one of them) and baseName, without
// an extension, suggested; none when the user cancelled.
std::optional<SavePath> AskSavePath(QWidget *parent, const QString &title,
                                    const QStringList &filters,
                                    const QString &baseName,
                                    const QString &selectedFilter = {});

// A name for what was made at this moment: "<what>-yyyyMMdd-HHmmss".
QString TimedName(const QString &what);

// From now on the last folder is kept in the INI file at iniPath, read at
// each dialog.
void KeepSaveFolderIn(const QString &iniPath);

} // namespace explorer

#endif
