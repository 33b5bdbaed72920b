// The display panel of the device area, for an interface 1: the two lines
// of 16 characters to show and the cursor mode; Show writes the reports
// that put them on the display (core/reports/DisplayReports.h), Read Back reads
// back what the display holds (DisplayReader) and shows it beside them.
// Infrared reception beside it switches the receiver on or off, and shows
// what the window last wrote to the target about it (off until then, as at
// power-up, and again once its device has left). Every report goes out
// through the target writer, logged as the form's are.
//
// Main thread only; the target, the log, the listeners and the writer
// outlive the panel.
#ifndef PINWORTH_EXPLORER_DISPLAY_PANEL_H
#define PINWORTH_EXPLORER_DISPLAY_PANEL_H

#include "app/device/DisplayReader.h"
#include "core/interfaces/InterfaceIdentity.h"

#include <QGroupBox>
#include <QHash>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace explorer {

class TargetWriter;
class WindowLog;
class WindowTarget;

class DisplayPanel : public QGroupBox {
  Q_OBJECT
public:
  DisplayPanel(const WindowTarget &target, WindowLog &log,
               core::InterfaceListeners &listeners, const TargetWriter &writer,
               QWidget *parent = nullptr);

  // The interface the panel drives, and whether it may send: not while the
  // target is unplugged. A new target ends a read-back under way.
  void setTarget(const std::optional<core::InterfaceIdentity> &target,
                 bool canSend);
  // A report of the window's log: an infrared switch written to the target
  // sets the checkbox.
  void reportLogged(bool isOutput, int reportID, int size, const uint8_t *data,
                    const std::optional<core::InterfaceIdentity> &source);
  // The widgets in tab order.
  QList<QWidget *> tabOrder() const;

private:
  void showText();
  void switchInfrared(bool on);
  void readBackEnded(bool complete, const QByteArray &line0,
                     const QByteArray &line1);
  void refreshControls();

  const TargetWriter &writer_;
  DisplayReader reader_;
  std::optional<core::InterfaceIdentity> target_;
  bool canSend_ = false;
  QHash<core::InterfaceIdentity, bool> infraredOn_; // as last written
  QLineEdit *lineFields_[2];
  QComboBox *cursorPopup_;
  QPushButton *showButton_;
  QPushButton *readBackButton_;
  QLabel *heldView_;
  QCheckBox *infraredCheckBox_;
};

} // namespace explorer

#endif
