// Copying reports to the clipboard as the log's text lines, a slice at a
// time from the event loop, so that copying many rows does not hold the
// window. The first slice runs in start(): a copy of a few rows is on the
// clipboard when it returns.
#ifndef PINWORTH_EXPLORER_LOG_COPY_H
#define PINWORTH_EXPLORER_LOG_COPY_H

#include <QList>
#include <QObject>
#include <QString>

namespace explorer {

class LogTableModel;

class LogCopy : public QObject {
  Q_OBJECT
public:
  // The model must outlive the copy; reports are in the order copied.
  LogCopy(const LogTableModel &log, QList<int> reports,
          QObject *parent = nullptr);

  void start();
  qsizetype total() const { return reports_.size(); }

signals:
  // copied: the text is on the clipboard; otherwise error says why.
  void done(bool copied, const QString &error);

private:
  void copySlice();
  void finish(bool copied, const QString &error);

  const LogTableModel &log_;
  QList<int> reports_;
  qsizetype next_ = 0;
  QString text_;
};

} // namespace explorer

#endif
