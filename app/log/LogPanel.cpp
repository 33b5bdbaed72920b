#include "app/log/LogPanel.h"

#include "app/ReportFormFields.h"
#include "app/framework/SaveDialog.h"
#include "app/log/LogCopy.h"
#include "app/log/LogExport.h"
#include "app/log/LogTableModel.h"
#include "app/log/LogView.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include <utility>
#include <vector>

namespace explorer {

LogPanel::LogPanel(LogView *view, LogTableModel *log, QLineEdit *filterField,
                   QPushButton *exportButton, QMainWindow *window)
    : view_(view), log_(log), filterField_(filterField), window_(window) {
  auto *copy = new QAction(QStringLiteral("&Copy"), view_);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  connect(copy, &QAction::triggered, this, &LogPanel::copySelectedRows);
  view_->addAction(copy);
  auto *exportAction = new QAction(QStringLiteral("&Export Log…"), view_);
  connect(exportAction, &QAction::triggered, this, &LogPanel::exportLog);
  view_->addAction(exportAction);
  view_->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view_->horizontalHeader(), &QHeaderView::customContextMenuRequested,
          this, &LogPanel::showHeaderMenu);
  connect(filterField_, &QLineEdit::textChanged, this, &LogPanel::applyFilter);
  connect(log_, &LogTableModel::filterDone, this, &LogPanel::showFiltered);
  connect(exportButton, &QPushButton::clicked, this, &LogPanel::exportLog);
  view_->installEventFilter(this);
}

LogPanel::~LogPanel() = default;

namespace {

// Each column whose texts are of one width, and its widest text.
std::vector<std::pair<int, const char *>> FixedWidthColumns() {
  std::vector<std::pair<int, const char *>> columns;
  for (int offset = 0; offset < kLogRowMaxDataSize; ++offset)
    columns.emplace_back(LogTableModel::kFirstByteColumn + offset, "0x00");
  columns.emplace_back(LogTableModel::kReportIDColumn, "0x00");
  columns.emplace_back(LogTableModel::kDirectionColumn, "R");
  columns.emplace_back(LogTableModel::kTimeColumn, "0000.000000");
  columns.emplace_back(LogTableModel::kSourceColumn, "A 0000 if1");
  columns.emplace_back(LogTableModel::kAsciiColumn, "........");
  return columns;
}

// Wide enough for its title and for the widest text it shows.
int FittedWidth(const LogView &view, int column, const char *widest) {
  return std::max(view.horizontalHeader()->sectionSizeHint(column),
                  view.fontMetrics().horizontalAdvance(QLatin1String(widest)) +
                      2 * LogView::kCellPadding);
}

} // namespace

bool LogPanel::eventFilter(QObject *watched, QEvent *event) {
  if (watched == view_ && event->type() == QEvent::FontChange)
    fitColumnsToFont();
  return QObject::eventFilter(watched, event);
}

void LogPanel::fitColumnsToFont() {
  QHeaderView *header = view_->horizontalHeader();
  for (const auto &[column, widest] : FixedWidthColumns())
    if (const int width = FittedWidth(*view_, column, widest);
        header->sectionSize(column) < width)
      header->resizeSection(column, width);
}

void LogPanel::arrangeDefaultColumns() {
  QHeaderView *header = view_->horizontalHeader();
  for (const auto &[column, widest] : FixedWidthColumns())
    header->resizeSection(column, FittedWidth(*view_, column, widest));
  header->moveSection(header->visualIndex(LogTableModel::kTimeColumn), 0);
  header->moveSection(header->visualIndex(LogTableModel::kSourceColumn), 1);
  header->setSectionHidden(LogTableModel::kAsciiColumn, true);
  // Decoded, last, takes the width left, so every column shows at first.
  header->setStretchLastSection(true);
}

void LogPanel::showHeaderMenu(const QPoint &at) {
  QHeaderView *header = view_->horizontalHeader();
  QMenu menu;
  for (int column = LogTableModel::kTimeColumn;
       column < LogTableModel::kColumnCount; ++column) {
    QAction *shown =
        menu.addAction(log_->headerData(column, Qt::Horizontal,
                                        LogTableModel::kColumnIdentifierRole)
                           .toString());
    shown->setCheckable(true);
    shown->setChecked(!header->isSectionHidden(column));
    connect(shown, &QAction::toggled, header, [header, column](bool on) {
      header->setSectionHidden(column, !on);
    });
  }
  menu.addSeparator();
  auto *modes = new QActionGroup(&menu);
  const std::pair<const char *, LogTableModel::TimeMode> choices[] = {
      {"Time since the log started", LogTableModel::TimeMode::SinceStart},
      {"Time of day", LogTableModel::TimeMode::WallClock},
      {"Time since the report above", LogTableModel::TimeMode::Delta}};
  for (const auto &[title, mode] : choices) {
    QAction *choice = menu.addAction(QString::fromUtf8(title));
    choice->setCheckable(true);
    choice->setChecked(log_->timeMode() == mode);
    modes->addAction(choice);
    connect(choice, &QAction::triggered, log_,
            [log = log_, mode = mode] { log->setTimeMode(mode); });
  }
  menu.exec(header->mapToGlobal(at));
}

int LogPanel::selectedReport() const {
  const QItemSelectionModel *selection = view_->selectionModel();
  if (!selection || !selection->hasSelection())
    return -1;
  const int current = view_->currentIndex().row();
  const QList<RowSpan> spans = selectedSpans();
  const int row = current >= 0 && selection->isRowSelected(current)
                      ? current
                      : spans.value(0, {-1, -1}).first;
  return row < 0 ? -1 : log_->reportAtRow(row);
}

// The selection's ranges, not its rows one by one: a selection of every row
// of a long log is one range. The view selects whole rows, and a selection's
// ranges never overlap.
QList<LogPanel::RowSpan> LogPanel::selectedSpans() const {
  QList<RowSpan> spans;
  for (const QItemSelectionRange &range : view_->selectionModel()->selection())
    spans.append({range.top(), range.bottom()});
  std::sort(spans.begin(), spans.end());
  return spans;
}

qsizetype LogPanel::selectedCount() const {
  qsizetype count = 0;
  for (const RowSpan &span : selectedSpans())
    count += span.second - span.first + 1;
  return count;
}

QList<int> LogPanel::selectedReports() const {
  QList<int> reports;
  for (const RowSpan &span : selectedSpans())
    reports += log_->reportsAtRows(span.first, span.second);
  return reports;
}

void LogPanel::copySelectedRows() {
  const qsizetype count = selectedCount();
  if (count == 0)
    return;
  if (count > kMostCopied) {
    emit message(QStringLiteral("Not copied: %1 reports are selected, and "
                                "Copy takes at most %2. Export Log… writes "
                                "the reports shown, any number of them.")
                     .arg(count)
                     .arg(kMostCopied));
    return;
  }
  copy_ = std::make_unique<LogCopy>(*log_, selectedReports());
  connect(copy_.get(), &LogCopy::done, this,
          [this](bool copied, const QString &error) {
            if (!copied)
              emit message(QStringLiteral("Not copied: %1").arg(error));
            else if (copyAnnounced_)
              emit message(
                  QStringLiteral("Copied %1 reports").arg(copy_->total()));
            copy_.release()->deleteLater(); // it is inside its own signal
          });
  copyAnnounced_ = false;
  copy_->start();
  if (copy_) { // done() lets it go: it takes more than one slice
    copyAnnounced_ = true;
    emit message(QStringLiteral("Copying %1 reports…").arg(count));
  }
}

void LogPanel::applyFilter(const QString &text) {
  QString error;
  const std::optional<LogFilter> filter = text.trimmed().isEmpty()
                                              ? std::optional<LogFilter>()
                                              : LogFilter::Parse(text, &error);
  filterField_->setStyleSheet(error.isEmpty() ? QString()
                                              : ReportFormFields::kMarkedStyle);
  if (!error.isEmpty()) {
    emit message("Filter: " + error);
    return;
  }
  log_->setFilter(filter);
  if (log_->filtering())
    emit message(
        QStringLiteral("Filtering %1 reports…").arg(log_->reportCount()));
}

void LogPanel::showFiltered() {
  emit message(QStringLiteral("%1 of %2 reports shown")
                   .arg(log_->rowCount())
                   .arg(log_->reportCount()));
}

void LogPanel::exportLog() {
  if (export_)
    return;
  if (const std::optional<SavePath> chosen = AskSavePath(
          window_, QStringLiteral("Export Log"),
          {QStringLiteral("CSV (*.csv)"), QStringLiteral("Text (*.txt)")},
          TimedName(QStringLiteral("pinworth-log"))))
    exportTo(chosen->path);
}

void LogPanel::exportTo(const QString &path) {
  if (export_)
    return;
  log_->announce();
  export_ = std::make_unique<LogExport>(
      *log_, path,
      path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)
          ? LogExport::Format::Csv
          : LogExport::Format::Text);
  progress_ = new QProgressBar;
  progress_->setRange(0, std::max(1, log_->rowCount()));
  cancel_ = new QPushButton(QStringLiteral("Cancel Export"));
  window_->statusBar()->addPermanentWidget(progress_);
  window_->statusBar()->addPermanentWidget(cancel_);
  connect(cancel_, &QPushButton::clicked, export_.get(), &LogExport::cancel);
  connect(export_.get(), &LogExport::progress, progress_,
          &QProgressBar::setValue);
  connect(export_.get(), &LogExport::finished, this,
          [this, path](bool written, const QString &error) {
            exportFinished(written, error, path);
          });
  export_->start();
}

void LogPanel::exportFinished(bool written, const QString &error,
                              const QString &path) {
  const int reports = export_->total();
  export_.release()->deleteLater(); // it is inside its own signal
  delete progress_;
  delete cancel_;
  if (written)
    emit message(
        QStringLiteral("Exported %1 reports to %2").arg(reports).arg(path));
  else if (error.isEmpty())
    emit message(QStringLiteral("Export cancelled: nothing was written"));
  else
    emit message(
        QStringLiteral("Export failed: %1: nothing was written").arg(error));
}

} // namespace explorer
