// File > Export Capture…: a capture written in another tool's format
// (interop/) on a thread of its own, so that the window paints and its log
// goes on meanwhile. A dialog shows how far it is, can stop it, and says at
// the end what was written. The file appears whole or not at all.
#ifndef PINWORTH_EXPLORER_CAPTURE_EXPORTER_H
#define PINWORTH_EXPLORER_CAPTURE_EXPORTER_H

#include "interop/CaptureExport.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <optional>
#include <thread>

class QWidget;

namespace explorer {

class CaptureExporter : public QObject {
  Q_OBJECT
public:
  // Asks over parent for a file and its format (offering preferred first,
  // when given), then exports the capture at capturePath there, with its
  // dialog.
  static void ask(QWidget *parent, const QString &capturePath,
                  std::optional<interop::Format> preferred = std::nullopt);

  CaptureExporter(QString capturePath, interop::Format format, QString path,
                  QObject *parent = nullptr);
  // Stops the export and waits for its thread.
  ~CaptureExporter() override;

  void start();
  // The export stops at its next progress call; no file is left.
  void cancel() { cancelled_ = true; }

signals:
  void progress(int percent);
  // On the main thread, once.
  void finished(const interop::ExportOutcome &outcome);

private:
  void run();

  const QString capturePath_;
  const interop::Format format_;
  const QString path_;
  std::atomic<bool> cancelled_{false};
  std::thread thread_;
};

} // namespace explorer

#endif
