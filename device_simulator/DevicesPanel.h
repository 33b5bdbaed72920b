// The simulated devices: each listed with its model, serial number and
// whether it is plugged in; add one, unplug it, plug it back, remove it.
#ifndef PINWORTH_SIMULATOR_DEVICES_PANEL_H
#define PINWORTH_SIMULATOR_DEVICES_PANEL_H

#include "platform/simulated/SimBackend.h"

#include <QGroupBox>

#include <optional>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace simulator {

class DevicesPanel : public QGroupBox {
  Q_OBJECT
public:
  explicit DevicesPanel(hid::sim::SimBackend &backend,
                        QWidget *parent = nullptr);

  // Lists the backend's devices again, keeping the selection on the same
  // device while it is listed, else on the first.
  void refresh();
  std::optional<hid::sim::DeviceID> selected() const;

  // One more than the highest number among the serial numbers, 1000 for
  // none.
  QString nextFreeSerial() const;

  QListWidget *list() const { return list_; }
  QPushButton *button(const char *name) const;

signals:
  void selectionChanged();
  void removing(hid::sim::DeviceID device);

private:
  void add();
  void updateButtons();

  hid::sim::SimBackend &backend_;
  QListWidget *list_;
  QComboBox *model_;
  QLineEdit *serial_;
  QPushButton *unplug_;
  QPushButton *plugBack_;
  QPushButton *remove_;
};

} // namespace simulator

#endif
