#include "app/capture/CaptureWindow.h"

#include "app/MessageBar.h"
#include "app/capture/CaptureCopy.h"
#include "app/capture/CaptureExporter.h"
#include "app/capture/CaptureFileRows.h"
#include "app/framework/AlertPanel.h"
#include "app/framework/SaveDialog.h"
#include "app/framework/WindowMenu.h"
#include "app/log/LogPanel.h"
#include "app/log/LogTableModel.h"
#include "app/log/LogView.h"
#include "app/timeline/PinTimeline.h"
#include "capture/CaptureReader.h"
#include "core/interfaces/CaptureSources.h"

#include <QAction>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>

namespace explorer {

CaptureWindow::CaptureWindow() : log_(std::make_unique<LogTableModel>()) {
  setAttribute(Qt::WA_DeleteOnClose);
  QMenu *file = menuBar()->addMenu(tr("&File"));
  QAction *save =
      file->addAction(tr("&Save Capture As…"), this, &CaptureWindow::saveAs);
  save->setObjectName("saveCaptureAction");
  save->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  file->addSeparator();
  QAction *close = file->addAction(tr("&Close Window"), this, &QWidget::close);
  close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
  AddWindowMenu(*this);
  auto *central = new QWidget(this);
  auto *tools = new QHBoxLayout;
  auto *filter = new QLineEdit(central);
  filter->setObjectName("logFilterField");
  filter->setPlaceholderText("R, W, id:05, src:B:2000:1, 06 84 ?? ??");
  filter->setClearButtonEnabled(true);
  auto *filterLabel = new QLabel(tr("Fi&lter:"), central);
  filterLabel->setBuddy(filter);
  auto *exportButton = new QPushButton(tr("Export Log…"), central);
  exportButton->setObjectName("exportButton");
  auto *exportCapture = new QPushButton(tr("Export &Capture…"), central);
  exportCapture->setObjectName("exportCaptureButton");
  connect(exportCapture, &QPushButton::clicked, this,
          [this] { CaptureExporter::ask(this, path_); });
  tools->addWidget(filterLabel);
  tools->addWidget(filter);
  tools->addWidget(exportButton);
  tools->addWidget(exportCapture);
  auto *view = new LogView(central);
  view->setObjectName("logTable");
  view->setContextMenuPolicy(Qt::ActionsContextMenu);
  view->setModel(log_.get());
  messages_ = new MessageBar(central);
  auto *layout = new QVBoxLayout(central);
  layout->addWidget(messages_);
  layout->addLayout(tools);
  layout->addWidget(view, 1);
  // The pin timeline under the log, made when first shown.
  auto *showTimeline = new QPushButton(tr("Pin &Timeline"), central);
  showTimeline->setObjectName("showPinTimelineButton");
  showTimeline->setCheckable(true);
  connect(showTimeline, &QPushButton::toggled, this,
          [this, central, layout, view,
           timeline = static_cast<PinTimeline *>(nullptr)](bool show) mutable {
            if (!timeline && show) {
              timeline = new PinTimeline(*log_, *view, central);
              timeline->setWholeExport([this] {
                CaptureExporter::ask(this, path_, interop::Format::Vcd);
              });
              layout->addWidget(timeline, 1);
            }
            if (timeline)
              timeline->setVisible(show);
          });
  tools->addWidget(showTimeline);
  setCentralWidget(central);
  panel_ =
      std::make_unique<LogPanel>(view, log_.get(), filter, exportButton, this);
  panel_->arrangeDefaultColumns();
  auto *replay = new QAction(tr("&Replay Selection to Device…"), view);
  connect(replay, &QAction::triggered, this, [this] {
    const QList<ReplayRow> rows = WrittenRows(*log_, panel_->selectedReports());
    if (rows.isEmpty())
      return AlertNoWrittenRows(this);
    emit replayAsked(rows, QFileInfo(path_).fileName());
  });
  view->addAction(replay);
  connect(panel_.get(), &LogPanel::message, messages_,
          [this](const QString &text) { messages_->show(text); });
  // Within the screen, whatever its scale.
  const QRect screen = this->screen()->availableGeometry();
  resize(std::min(900, screen.width() * 9 / 10),
         std::min(600, screen.height() * 9 / 10));
}

CaptureWindow::~CaptureWindow() = default;

void CaptureWindow::tell(const QString &text) {
  messages_->show(text, MessageBar::Kind::Standing);
}

void CaptureWindow::saveAs() {
  const std::optional<SavePath> chosen = AskSavePath(
      this, tr("Save Capture As"), {tr("Pinworth capture (*.pwcap)")},
      QFileInfo(path_).completeBaseName());
  if (!chosen)
    return;
  QString reason;
  if (!CopyCaptureFile(path_, chosen->path, &reason))
    return RunAlertPanel(this, tr("The capture was not saved."), reason);
  messages_->show(tr("Saved as %1.").arg(chosen->path));
}

CaptureWindow *CaptureWindow::open(const QString &path, QString *error) {
  std::string why;
  std::unique_ptr<capture::CaptureReader> reader =
      capture::CaptureReader::open(path.toStdString(), &why);
  if (!reader) {
    *error = QString::fromStdString(why);
    return nullptr;
  }
  auto *window = new CaptureWindow;
  window->path_ = path;
  window->setWindowTitle(tr("%1 (read-only)").arg(QFileInfo(path).fileName()));
  window->log_->setClockStart(
      QDateTime::fromMSecsSinceEpoch(reader->header().startUnixUS / 1000));
  std::vector<uint16_t> logSourceOf;
  for (size_t source = 0; source < reader->interfaces().size(); ++source) {
    const std::optional<core::InterfaceIdentity> identity =
        core::IdentityOfSource(reader->interfaces(), uint16_t(source));
    logSourceOf.push_back(identity ? window->log_->sourceIndex(*identity)
                                   : LogRow::kNoSource);
  }
  const bool tableDamaged = reader->tableDamaged();
  window->rows_ = std::make_unique<CaptureFileRows>(std::move(reader),
                                                    std::move(logSourceOf));
  if (tableDamaged)
    window->tell(tr("The capture's interface table is damaged: the rows of "
                    "the interfaces it no longer holds show no source (-)."));
  const auto showCount = [window, path] {
    QString count =
        tr("%n rows from %1", nullptr, window->log_->reportCount()).arg(path);
    if (const uint64_t lost = window->rows_->withoutInterface())
      count +=
          tr("; %1 without their interface (the table is damaged)").arg(lost);
    window->statusBar()->showMessage(count);
  };
  connect(window->log_.get(), &LogTableModel::rowsInserted, window, showCount);
  window->log_->showStored(window->rows_.get());
  showCount();
  window->show();
  return window;
}

} // namespace explorer
