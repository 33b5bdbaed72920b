// The tools around the log's view:
// - the header's context menu: which of the added columns (Time, Source,
//   Decoded, ASCII) are shown, and what the Time column shows; the record's
//   own columns are always there;
// - Copy (Ctrl+C, and the view's context menu): the selected rows, one
//   report a line in the log's own text format, at most kMostCopied (more
//   is refused, saying so: Export Log… is for them);
// - the filter line: the log shows only the reports that match it (a text
//   that is not a filter is marked and said so);
// - Export Log…: the reports shown, to CSV or text, with progress and Cancel
//   in the status bar.
#ifndef PINWORTH_EXPLORER_LOG_PANEL_H
#define PINWORTH_EXPLORER_LOG_PANEL_H

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>
#include <utility>

class QLineEdit;
class QMainWindow;
class QProgressBar;
class QPushButton;

namespace explorer {

class LogCopy;
class LogExport;
class LogTableModel;
class LogView;

class LogPanel : public QObject {
  Q_OBJECT
public:
  // Everything belongs to window, which outlives the panel, but for the
  // model, which outlives it too.
  static constexpr qsizetype kMostCopied = 100'000;

  LogPanel(LogView *view, LogTableModel *log, QLineEdit *filterField,
           QPushButton *exportButton, QMainWindow *window);
  ~LogPanel() override;

  bool eventFilter(QObject *watched, QEvent *event) override;

  // Shows the added columns as they are shown by default: Time and Source
  // first, Decoded last, ASCII hidden.
  void arrangeDefaultColumns();
  // Widens each column of texts of one width (bytes, report ID, direction,
  // time, source, ASCII) that is too narrow for its title or its widest text
  // in the view's font: after saved widths are restored, and whenever the
  // font changes.
  void fitColumnsToFont();
  void copySelectedRows();
  // The report of the current row when it is selected, or else of the first
  // selected row; -1 when no row is.
  int selectedReport() const;
  // The reports of every selected row, in the log's order.
  QList<int> selectedReports() const;
  qsizetype selectedCount() const;
  // Asks for a file and exports the reports shown to it.
  void exportLog();
  // Exports the reports shown to path, CSV when it ends in .csv.
  void exportTo(const QString &path);
  bool exporting() const { return export_ != nullptr; }

signals:
  // A line for the status bar.
  void message(const QString &text);

private:
  using RowSpan = std::pair<int, int>; // the first and last view rows
  // The selected rows, as sorted spans that do not overlap.
  QList<RowSpan> selectedSpans() const;
  void showHeaderMenu(const QPoint &at);
  void applyFilter(const QString &text);
  void showFiltered();
  void exportFinished(bool written, const QString &error, const QString &path);

  LogView *view_;
  LogTableModel *log_;
  QLineEdit *filterField_;
  QMainWindow *window_;
  std::unique_ptr<LogCopy> copy_; // the copy under way, if any
  bool copyAnnounced_ = false;    // "Copying…" was said
  std::unique_ptr<LogExport> export_;
  QPointer<QProgressBar> progress_;
  QPointer<QPushButton> cancel_;
};

} // namespace explorer

#endif
