#include "app/framework/SaveDialog.h"

#include "app/framework/ModalDialog.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

namespace explorer {

namespace {

const QString kFolderKey = QStringLiteral("lastSaveFolder");

QString gStateFile;  // empty: the folder is kept in gLastFolder only
QString gLastFolder; // empty: none chosen yet

QString LastFolder() {
  QString folder = gLastFolder;
  if (!gStateFile.isEmpty())
    folder = QSettings(gStateFile, QSettings::IniFormat)
                 .value(kFolderKey, folder)
                 .toString();
  return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder
                                                        : QDir::homePath();
}

void RememberFolder(const QString &folder) {
  gLastFolder = folder;
  if (!gStateFile.isEmpty())
    QSettings(gStateFile, QSettings::IniFormat).setValue(kFolderKey, folder);
}

// "png" for "PNG image (*.png)", its first pattern's extension.
QString SuffixOf(const QString &filter) {
  static const QRegularExpression pattern(QStringLiteral("\\*\\.(\\w+)"));
  return pattern.match(filter).captured(1);
}

} // namespace

std::optional<SavePath> AskSavePath(QWidget *parent, const QString &title,
                                    const QStringList &filters,
                                    const QString &baseName,
                                    const QString &selectedFilter) {
  QFileDialog dialog(parent, title);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(filters);
  const QString first =
      filters.contains(selectedFilter) ? selectedFilter : filters.value(0);
  dialog.selectNameFilter(first);
  dialog.setDefaultSuffix(SuffixOf(first));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog](const QString &filter) {
                     dialog.setDefaultSuffix(SuffixOf(filter));
                   });
  dialog.setDirectory(LastFolder());
  dialog.selectFile(baseName);
  if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return std::nullopt;
  SavePath chosen{dialog.selectedFiles().first(), dialog.selectedNameFilter()};
  RememberFolder(QFileInfo(chosen.path).absolutePath());
  return chosen;
}

QString TimedName(const QString &what) {
  return what + QDateTime::currentDateTime().toString(
                    QStringLiteral("-yyyyMMdd-HHmmss"));
}

void KeepSaveFolderIn(const QString &iniPath) {
  gStateFile = iniPath;
}

} // namespace explorer
