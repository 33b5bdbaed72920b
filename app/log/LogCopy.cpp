#include "app/log/LogCopy.h"

#include "app/log/LogTableModel.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTimer>

namespace explorer {

LogCopy::LogCopy(const LogTableModel &log, QList<int> reports, QObject *parent)
    : QObject(parent), log_(log), reports_(std::move(reports)) {}

void LogCopy::start() {
  copySlice();
}

void LogCopy::copySlice() {
  QElapsedTimer slice;
  slice.start();
  while (next_ < reports_.size() && slice.elapsed() < LogTableModel::kSliceMS) {
    for (int i = 0; i < 256 && next_ < reports_.size(); ++i, ++next_) {
      const int report = reports_[next_];
      if (report >= log_.reportCount())
        return finish(false, QStringLiteral("the log was cleared"));
      text_ += log_.textLine(report);
      text_ += '\n';
    }
  }
  if (next_ < reports_.size()) {
    QTimer::singleShot(0, this, &LogCopy::copySlice);
    return;
  }
  QGuiApplication::clipboard()->setText(text_);
  finish(true, QString());
}

void LogCopy::finish(bool copied, const QString &error) {
  text_.clear();
  emit done(copied, error);
}

} // namespace explorer
