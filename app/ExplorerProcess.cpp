#include "app/ExplorerProcess.h"

#include "app/MainWindowResource.h"
#include "app/PinworthWindowController.h"
#include "app/device/ReplayPanel.h"
#include "app/framework/AlertPanel.h"
#include "app/framework/ModalDialog.h"
#include "app/framework/SaveDialog.h"
#include "core/reports/ReportRecord.h"
#include "core/runs/Sequence.h"
#include "lib/PinworthLib.h"

#include <QDropEvent>
#include <QEvent>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace explorer {

ExplorerProcess::Files ExplorerProcess::StandardFiles() {
  return {core::UserDefaults::standardFilePath(),
          WindowState::StandardFilePath(), SessionStore::StandardFolder()};
}

ExplorerProcess::ExplorerProcess(const Files &files)
    : preferences_(files.preferences, core::kDefaultMacrosKey),
      sequences_(files.preferences, core::kSequencesKey),
      windowState_(files.windowState), captures_(files.sessions) {
  KeepSaveFolderIn(files.windowState);
  PinworthWindowController::initialize(preferences_);
  core::RegisterDefaultSequences(sequences_);
  // A capture's rows go to the explorer window activated last, whose target
  // its replay panel names.
  connect(&captures_, &CaptureSessions::replayAsked, this,
          [this](QWidget *from, const QList<ReplayRow> &rows,
                 const QString &origin) {
            for (const Window &window : windows_)
              if (window.resource->controller() == gWindowController)
                return window.resource->replayPanel().offer(rows, origin);
            RunAlertPanel(
                from, QStringLiteral("Nothing to replay to"),
                QStringLiteral("Open an explorer window to replay from."));
          });
}

ExplorerProcess::~ExplorerProcess() {
  for (const Window &window : windows_)
    captures_.forget(window.resource->window());
  windows_.clear();
  gWindowController = nullptr;
  if (libraryStarted_)
    PinworthSetDeviceCallback(nullptr, nullptr);
}

QMainWindow *ExplorerProcess::newWindow() {
  const int number = freeNumber();
  auto resource = std::make_unique<MainWindowResource>(*this, number);
  QMainWindow *window = resource->window();
  window->installEventFilter(this);
  window->setAcceptDrops(true);
  windows_.push_back({number, std::move(resource)});
  PinworthWindowController *controller = windows_.back().resource->controller();
  controller->awakeFromNib();
  captures_.record(window, *controller->logModel(), *controller->messageBar());
  emit windowOpened(controller);
  window->show();
  if (windows_.size() == 1)
    QTimer::singleShot(0, this,
                       [this, window] { captures_.offerOrphans(window); });
  return window;
}

bool ExplorerProcess::mayQuit(QWidget *from) {
  qint64 rows = 0;
  for (const Window &window : windows_)
    rows += window.resource->controller()->logModel()->reportCount();
  if (windows_.size() < 2 && rows == 0)
    return true;
  QMessageBox box(
      QMessageBox::Question, QStringLiteral("Quit Pinworth Explorer?"),
      QStringLiteral("Quit Pinworth Explorer?"), QMessageBox::NoButton, from);
  const QString rowsText = QLocale().toString(rows);
  box.setInformativeText(
      windows_.size() == 1
          ? QStringLiteral("The explorer window closes and its reading ends. "
                           "Its log (%1 rows) is kept as a session on disk, "
                           "which File > Open Capture lists.")
                .arg(rowsText)
          : QStringLiteral("The %1 explorer windows close and their reading "
                           "ends. Their logs (%2 rows in all) are kept as "
                           "sessions on disk, which File > Open Capture "
                           "lists.")
                .arg(windows_.size())
                .arg(rowsText));
  // Wide enough that the message is not wrapped after a few words.
  if (auto *message = box.findChild<QLabel *>("qt_msgbox_informativelabel"))
    message->setMinimumWidth(360);
  QPushButton *quit =
      box.addButton(QStringLiteral("&Quit"), QMessageBox::AcceptRole);
  box.setEscapeButton(box.addButton(QMessageBox::Cancel));
  box.setDefaultButton(quit);
  RunModal(box);
  return box.clickedButton() == quit;
}

std::vector<PinworthWindowController *> ExplorerProcess::controllers() const {
  std::vector<PinworthWindowController *> open;
  for (const Window &window : windows_)
    open.push_back(window.resource->controller());
  return open;
}

void PinworthCallback(void *inRefCon) {
  static_cast<ExplorerProcess *>(inRefCon)->populateEveryInterfacePopup();
}

void ExplorerProcess::startLibrary() {
  if (std::exchange(libraryStarted_, true))
    return;
  PinworthInit();
  PinworthIsPresent();
  PinworthSetDeviceCallback(PinworthCallback, this);
}

void ExplorerProcess::populateEveryInterfacePopup() {
  for (PinworthWindowController *controller : controllers())
    controller->populateInterfacePopup();
}

int ExplorerProcess::freeNumber() const {
  int number = 0;
  while (std::any_of(windows_.begin(), windows_.end(),
                     [number](const Window &w) { return w.number == number; }))
    ++number;
  return number;
}

// The most recently activated window is gWindowController; a window closed
// goes once its close event is over.
bool ExplorerProcess::eventFilter(QObject *watched, QEvent *event) {
  auto *window = qobject_cast<QMainWindow *>(watched);
  if (window && event->type() == QEvent::WindowActivate)
    for (PinworthWindowController *controller : controllers())
      if (controller->mainWindow() == window)
        gWindowController = controller;
  if (window && event->type() == QEvent::Close)
    QTimer::singleShot(0, this, [this, window] { closed(window); });
  if (window && event->type() == QEvent::DragEnter) {
    auto *drag = static_cast<QDragEnterEvent *>(event);
    if (drag->mimeData()->hasUrls())
      drag->acceptProposedAction();
  }
  if (window && event->type() == QEvent::Drop) {
    for (const QUrl &url : static_cast<QDropEvent *>(event)->mimeData()->urls())
      if (url.isLocalFile())
        captures_.open(url.toLocalFile(), window);
    return true;
  }
  return false;
}

void ExplorerProcess::closed(QMainWindow *window) {
  const auto found =
      std::find_if(windows_.begin(), windows_.end(), [window](const Window &w) {
        return w.resource->window() == window;
      });
  if (found == windows_.end() || window->isVisible())
    return;
  const std::unique_ptr<MainWindowResource> resource =
      std::move(found->resource);
  windows_.erase(found);
  captures_.forget(resource->window());
  if (gWindowController == resource->controller())
    gWindowController =
        windows_.empty() ? nullptr : windows_.back().resource->controller();
}

} // namespace explorer
