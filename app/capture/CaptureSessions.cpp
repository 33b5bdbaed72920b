#include "app/capture/CaptureSessions.h"

#include "app/MessageBar.h"
#include "app/capture/CaptureCopy.h"
#include "app/capture/CaptureExporter.h"
#include "app/capture/CaptureWindow.h"
#include "app/framework/AlertPanel.h"
#include "app/framework/ModalDialog.h"
#include "app/framework/SaveDialog.h"
#include "capture/CaptureReader.h"
#include "core/interfaces/InterfaceIdentity.h"
#include "core/interfaces/InterfaceInfo.h"
#include "interop/CaptureImport.h"
#include "lib/PinworthLib.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <vector>

namespace explorer {

namespace {

constexpr auto kCaptureTopic = "capture";

std::vector<uint8_t>
DescriptorOfListed(const core::InterfaceIdentity &identity) {
  const int position = core::PositionOfIdentity(identity);
  PinworthListNode *node =
      position < 0 ? nullptr : PinworthInterfaceListNodeAtIndex(position);
  if (!node || !node->pinworthHIDInterface)
    return {};
  const core::InterfaceInfo info =
      core::ReadInterfaceInfo(*node->pinworthHIDInterface);
  return info.descriptorStatus == hid::kSuccess ? info.descriptor
                                                : std::vector<uint8_t>{};
}

QString WritingProblem(const QString &reason) {
  return QStringLiteral("The log is no longer written to disk: %1. It goes "
                        "on in this window; what was written is kept.")
      .arg(reason);
}

} // namespace

CaptureSessions::CaptureSessions(const QString &folder) {
  if (!folder.isEmpty())
    store_.emplace(folder);
}

CaptureSessions::~CaptureSessions() = default;

void CaptureSessions::record(QWidget *window, LogTableModel &log,
                             MessageBar &messages) {
  if (!store_)
    return;
  auto capture = std::make_unique<LogCapture>(*store_, log, DescriptorOfListed);
  const auto showProblem = [&messages](const QString &reason) {
    messages.show(WritingProblem(reason), MessageBar::Kind::Standing,
                  kCaptureTopic);
  };
  connect(capture.get(), &LogCapture::problemFound, &messages, showProblem);
  if (!capture->problem().isEmpty())
    showProblem(capture->problem());
  captures_[window] = std::move(capture);
}

void CaptureSessions::forget(QWidget *window) {
  captures_.erase(window);
}

LogCapture *CaptureSessions::captureOf(QWidget *window) const {
  const auto found = captures_.find(window);
  return found == captures_.end() ? nullptr : found->second.get();
}

void CaptureSessions::saveAs(QWidget *window) {
  const std::optional<SavePath> chosen =
      AskSavePath(window, QStringLiteral("Save Capture As"),
                  {QStringLiteral("Pinworth capture (*.pwcap)")},
                  TimedName(QStringLiteral("capture")));
  if (!chosen)
    return;
  QString reason;
  if (!saveTo(window, chosen->path, &reason))
    RunAlertPanel(window, QStringLiteral("The capture was not saved."), reason);
}

bool CaptureSessions::saveTo(QWidget *window, const QString &path,
                             QString *error) {
  LogCapture *capture = captureOf(window);
  if (!capture || capture->path().isEmpty()) {
    *error = capture ? capture->problem()
                     : QStringLiteral("this window's log is not written to "
                                      "disk");
    return false;
  }
  capture->flush();
  return CopyCaptureFile(capture->path(), path, error);
}

void CaptureSessions::exportAsked(QWidget *window,
                                  std::optional<interop::Format> preferred) {
  LogCapture *capture = captureOf(window);
  if (!capture || capture->path().isEmpty()) {
    RunAlertPanel(window, QStringLiteral("The capture cannot be exported."),
                  capture ? capture->problem()
                          : QStringLiteral("this window's log is not written "
                                           "to disk"));
    return;
  }
  capture->flush();
  CaptureExporter::ask(window, capture->path(), preferred);
}

void CaptureSessions::importAsked(QWidget *parent) {
  QFileDialog dialog(parent, QStringLiteral("Import"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(interop::ImportFilters());
  if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return;
  const QString path = dialog.selectedFiles().first();
  // A file's own extension tells its format before the filter does: a name
  // typed, or picked under another filter.
  std::optional<interop::Format> format = interop::FormatOfPath(path);
  if (!format || !interop::Imports(*format))
    format = interop::FormatOfFilter(dialog.selectedNameFilter());
  interop::ImportOutcome imported;
  QString capturePath;
  if (!store_)
    imported.error = QStringLiteral("captures are not kept on disk");
  else if (store_->make(&imported.error))
    imported = interop::ImportCapture(path, *format,
                                      capturePath = store_->newCurrentPath());
  if (!imported.written) {
    RunAlertPanel(
        parent,
        QStringLiteral("%1 was not imported.").arg(QFileInfo(path).fileName()),
        imported.error);
    return;
  }
  if (CaptureWindow *window = open(store_->keep(capturePath), parent);
      window && !imported.notes.isEmpty())
    window->tell(imported.notes.join(' ') + '.');
}

void CaptureSessions::openAsked(QWidget *parent) {
  QFileDialog dialog(parent, QStringLiteral("Open Capture"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({QStringLiteral("Pinworth capture (*.pwcap)"),
                         QStringLiteral("Any file (*)")});
  if (store_)
    dialog.setDirectory(store_->folder());
  if (RunModal(dialog) == QDialog::Accepted &&
      !dialog.selectedFiles().isEmpty())
    open(dialog.selectedFiles().first(), parent);
}

CaptureWindow *CaptureSessions::open(const QString &path, QWidget *parent) {
  QString reason;
  CaptureWindow *window = CaptureWindow::open(path, &reason);
  if (!window) {
    RunAlertPanel(
        parent,
        QStringLiteral("%1 cannot be opened.").arg(QFileInfo(path).fileName()),
        reason);
    return nullptr;
  }
  opened_.emplace_back(window);
  connect(window, &CaptureWindow::replayAsked, this,
          [this, window](const QList<ReplayRow> &rows, const QString &origin) {
            emit replayAsked(window, rows, origin);
          });
  return window;
}

QStringList CaptureSessions::sessions() const {
  QStringList newestFirst = store_ ? store_->sessions() : QStringList();
  std::reverse(newestFirst.begin(), newestFirst.end());
  return newestFirst;
}

void CaptureSessions::offerOrphans(QWidget *parent) {
  if (!store_)
    return;
  // A window's own capture is never an orphan, even once its writer has
  // stopped. One that holds no record goes; the others are kept.
  QString kept;
  for (const QString &orphan : store_->orphans()) {
    if (std::any_of(captures_.begin(), captures_.end(), [&](const auto &own) {
          return own.second->path() == orphan;
        }))
      continue;
    std::string reason;
    const auto reader = capture::CaptureReader::open(
        orphan.toStdString(), &reason, capture::CaptureReader::Links::Refuse);
    if (reader && reader->recordCount() == 0)
      QFile::remove(orphan);
    else
      kept = store_->keep(orphan);
  }
  if (kept.isEmpty())
    return;
  QMessageBox box(QMessageBox::Question, QStringLiteral("Pinworth Explorer"),
                  QStringLiteral("The explorer ended without closing its log"),
                  QMessageBox::NoButton, parent);
  box.setInformativeText(
      QStringLiteral("What it had written is kept as a session in %1. Open "
                     "it now? File > Recent Sessions opens it later.")
          .arg(store_->folder()));
  QPushButton *openButton =
      box.addButton(QStringLiteral("Open"), QMessageBox::AcceptRole);
  box.addButton(QStringLiteral("Not Now"), QMessageBox::RejectRole);
  box.setDefaultButton(openButton);
  RunModal(box);
  if (box.clickedButton() == openButton)
    open(kept, parent);
}

std::vector<CaptureWindow *> CaptureSessions::openWindows() const {
  std::vector<CaptureWindow *> windows;
  for (const QPointer<CaptureWindow> &window : opened_)
    if (window)
      windows.push_back(window);
  return windows;
}

} // namespace explorer
