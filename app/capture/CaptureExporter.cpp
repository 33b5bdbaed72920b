#include "app/capture/CaptureExporter.h"

#include "app/framework/SaveDialog.h"
#include "capture/CaptureReader.h"

#include <QFileInfo>
#include <QLocale>
#include <QProgressDialog>

namespace explorer {

namespace {

// What the dialog says when the export ended.
QString Summary(const interop::ExportOutcome &done, const QString &path,
                interop::Format format) {
  if (!done.written)
    return QStringLiteral("The capture was not exported:\n%1").arg(done.error);
  const QLocale locale;
  QString text = QStringLiteral("%1 %2 exported to %3.")
                     .arg(locale.toString(qulonglong(done.exported)),
                          done.exported == 1 ? QStringLiteral("row")
                                             : QStringLiteral("rows"),
                          QFileInfo(path).fileName());
  if (done.skipped > 0)
    text += QStringLiteral("\n%1 had no place in %2: gaps, events or rows "
                           "of another interface.")
                .arg(locale.toString(qulonglong(done.skipped)),
                     interop::FormatName(format));
  return text;
}

} // namespace

void CaptureExporter::ask(QWidget *parent, const QString &capturePath,
                          std::optional<interop::Format> preferred) {
  QString preferredFilter;
  for (const QString &filter : interop::ExportFilters())
    if (preferred && interop::FormatOfFilter(filter) == preferred)
      preferredFilter = filter;
  const std::optional<SavePath> chosen = AskSavePath(
      parent, QStringLiteral("Export Capture"), interop::ExportFilters(),
      TimedName(QStringLiteral("capture")), preferredFilter);
  if (!chosen)
    return;
  // The extension typed picks the format, before the filter does.
  QString path = chosen->path;
  const std::optional<interop::Format> typed = interop::FormatOfPath(path);
  const interop::Format format = typed && interop::SinkMakerOf(*typed)
                                     ? *typed
                                     : *interop::FormatOfFilter(chosen->filter);
  if (typed != format)
    path += u'.' + interop::FormatExtension(format);

  auto *exporter = new CaptureExporter(capturePath, format, path, parent);
  auto *progress = new QProgressDialog(
      QStringLiteral("Exporting to %1…").arg(QFileInfo(path).fileName()),
      QStringLiteral("Stop"), 0, 100, parent);
  progress->setWindowTitle(QStringLiteral("Export Capture"));
  progress->setAttribute(Qt::WA_DeleteOnClose);
  progress->setAutoClose(false);
  progress->setAutoReset(false);
  progress->setMinimumDuration(0);
  connect(exporter, &CaptureExporter::progress, progress,
          &QProgressDialog::setValue);
  connect(progress, &QProgressDialog::canceled, exporter,
          &CaptureExporter::cancel);
  connect(
      exporter, &CaptureExporter::finished, progress,
      [exporter, progress, path, format](const interop::ExportOutcome &done) {
        exporter->deleteLater();
        if (done.error.isEmpty() && !done.written) {
          progress->close(); // stopped by the user
          return;
        }
        progress->disconnect(exporter);
        progress->setValue(100);
        progress->setCancelButtonText(QStringLiteral("Close"));
        progress->setLabelText(Summary(done, path, format));
      });
  progress->show();
  exporter->start();
}

CaptureExporter::CaptureExporter(QString capturePath, interop::Format format,
                                 QString path, QObject *parent)
    : QObject(parent), capturePath_(std::move(capturePath)), format_(format),
      path_(std::move(path)) {}

CaptureExporter::~CaptureExporter() {
  cancelled_ = true;
  if (thread_.joinable())
    thread_.join();
}

void CaptureExporter::start() {
  thread_ = std::thread(&CaptureExporter::run, this);
}

void CaptureExporter::run() {
  interop::ExportOutcome outcome;
  std::string reason;
  const std::unique_ptr<capture::CaptureReader> reader =
      capture::CaptureReader::open(capturePath_.toStdString(), &reason);
  if (reader)
    outcome = interop::ExportCapture(
        *reader, format_, path_, [this](uint64_t done, uint64_t total) {
          const int percent = total ? int(done * 100 / total) : 0;
          QMetaObject::invokeMethod(
              this, [this, percent] { emit progress(percent); },
              Qt::QueuedConnection);
          return !cancelled_;
        });
  else
    outcome.error = QString::fromStdString(reason);
  QMetaObject::invokeMethod(
      this, [this, outcome] { emit finished(outcome); }, Qt::QueuedConnection);
}

} // namespace explorer
