// The window's log as the device area sees it: rows appended, the model
// that holds them, the view whose context menu takes the area's actions,
// the rows selected in it, and a signal for every report appended. The
// window's assembly implements it over the window's controller; tests
// implement it over a model and a view of their own.
//
// Main thread only.
#ifndef PINWORTH_EXPLORER_WINDOW_LOG_H
#define PINWORTH_EXPLORER_WINDOW_LOG_H

#include "core/interfaces/InterfaceIdentity.h"
#include "platform/HIDServices.h"

#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

class QWidget;

namespace explorer {

class LogTableModel;

class WindowLog : public QObject {
  Q_OBJECT
public:
  // Appends a report: size data bytes at data, copied, from or to source,
  // read or written at the time given. direction is kReportDirectionIn or
  // kReportDirectionOut; reportID is kNoReportID for a report without one.
  virtual void append(const QString &direction, int reportID, int size,
                      const uint8_t *data,
                      const core::InterfaceIdentity &source,
                      hid::ReportTime at) = 0;
  virtual const LogTableModel &model() const = 0;
  // The log's view, whose context menu lists the actions added to it.
  virtual QWidget &view() const = 0;
  // The model's rows selected in the view, in order.
  virtual QList<int> selectedReports() const = 0;

signals:
  // A report was appended, as append() takes it; data lasts for the call.
  void reportLogged(const QString &direction, int reportID, int size,
                    const uint8_t *data,
                    const std::optional<core::InterfaceIdentity> &source);
};

} // namespace explorer

#endif
