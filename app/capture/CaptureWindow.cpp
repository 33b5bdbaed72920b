#include "app/capture/CaptureWindow.h"

#include "app/capture/CaptureExporter.h"
#include "app/log/LogPanel.h"
#include "app/log/LogTableModel.h"
#include "app/log/LogView.h"
#include "core/CaptureSources.h"
#include "core/capture/CaptureReader.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

// The log row of a record, none for a record that is not a row (an event's
// text, a kind a newer writer added, a corrupt one).
std::optional<LogRow> RowOf(const capture::Record &record) {
  LogRow row;
  row.time = record.timeUS;
  switch (record.kind) {
  case capture::RecordKind::Read:
  case capture::RecordKind::Written:
    row.reportID = record.hasReportID ? record.reportID : kNoReportID;
    row.flags =
        uint8_t(std::min<int>(record.size, kLogRowMaxDataSize)) |
        (record.kind == capture::RecordKind::Written ? LogRow::kOutputFlag : 0);
    std::copy_n(record.data.begin(), row.size(), row.data);
    return row;
  case capture::RecordKind::Loss:
    row.flags = LogRow::kLossFlag;
    row.reportID = int32_t(std::min<uint32_t>(record.count, INT32_MAX));
    return row;
  case capture::RecordKind::Event:
    if (record.eventKind < 1 || record.eventKind > 6)
      return std::nullopt;
    row.flags = LogRow::kEventFlag;
    row.data[0] = uint8_t(record.eventKind - 1);
    return row;
  case capture::RecordKind::WritingStopped:
    row.flags = LogRow::kEventFlag;
    row.data[0] = uint8_t(LogEvent::CaptureStopped);
    return row;
  default:
    return std::nullopt;
  }
}

} // namespace

CaptureWindow::CaptureWindow() : log_(std::make_unique<LogTableModel>()) {
  setAttribute(Qt::WA_DeleteOnClose);
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
  view->setModel(log_.get());
  auto *layout = new QVBoxLayout(central);
  layout->addLayout(tools);
  layout->addWidget(view);
  setCentralWidget(central);
  panel_ =
      std::make_unique<LogPanel>(view, log_.get(), filter, exportButton, this);
  panel_->arrangeDefaultColumns();
  connect(panel_.get(), &LogPanel::message, statusBar(),
          [this](const QString &text) { statusBar()->showMessage(text); });
  auto *close = new QShortcut(QKeySequence::Close, this);
  connect(close, &QShortcut::activated, this, &QWidget::close);
  // Within the screen, whatever its scale.
  const QRect screen = this->screen()->availableGeometry();
  resize(std::min(900, screen.width() * 9 / 10),
         std::min(600, screen.height() * 9 / 10));
}

CaptureWindow::~CaptureWindow() = default;

CaptureWindow *CaptureWindow::open(const QString &path, QString *reason) {
  std::string why;
  const std::unique_ptr<capture::CaptureReader> reader =
      capture::CaptureReader::open(path.toStdString(), &why);
  if (!reader) {
    *reason = QString::fromStdString(why);
    return nullptr;
  }
  auto *window = new CaptureWindow;
  window->path_ = path;
  window->setWindowTitle(tr("%1 (read-only)").arg(QFileInfo(path).fileName()));
  window->log_->setClockStart(
      QDateTime::fromMSecsSinceEpoch(reader->header().startUnixUS / 1000));
  const std::vector<capture::CaptureInterface> &interfaces =
      reader->interfaces();
  for (uint64_t i = 0; i < reader->recordCount(); ++i) {
    const capture::Record record = reader->record(i);
    const std::optional<LogRow> row = RowOf(record);
    if (!row)
      continue;
    window->log_->appendRecorded(
        *row, record.kind == capture::RecordKind::WritingStopped
                  ? std::nullopt
                  : IdentityOfSource(interfaces, record.source));
  }
  window->log_->announce();
  window->statusBar()->showMessage(
      tr("%n rows from %1", nullptr, window->log_->reportCount()).arg(path));
  window->show();
  return window;
}
