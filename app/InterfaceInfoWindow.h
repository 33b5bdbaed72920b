// The Interface Info window: what the selected interface says about itself
// (its properties, its report descriptor as items, as a report table and as
// bytes), with Copy and Save. One window of its own over the main window;
// the controller refills it when the selection changes.
#ifndef PINWORTH_EXPLORER_INTERFACE_INFO_WINDOW_H
#define PINWORTH_EXPLORER_INTERFACE_INFO_WINDOW_H

#include "core/interfaces/InterfaceIdentity.h"
#include "core/interfaces/InterfaceInfo.h"

#include <QWidget>

#include <memory>
#include <optional>

namespace Ui {
class InterfaceInfoWindow;
}

namespace explorer {

class InterfaceInfoWindow : public QWidget {
  Q_OBJECT
public:
  // A window of its own, kept above parent and closed with it.
  explicit InterfaceInfoWindow(QWidget *parent);
  ~InterfaceInfoWindow() override;

  // Shows what the interface said about itself, or that no interface is
  // selected when either is none.
  void showFor(const std::optional<core::InterfaceIdentity> &interface,
               const std::optional<core::InterfaceInfo> &info);
  // What Copy puts on the clipboard and Save writes.
  const QString &text() const { return text_; }
  // Writes text() to path whole or not at all; false with the reason.
  bool saveTo(const QString &path, QString *error) const;

protected:
  void keyPressEvent(QKeyEvent *event) override;

private:
  void showInfo(const QString &name, const core::InterfaceInfo &info);
  void showNoInterface();
  void fillProperties(const core::InterfaceInfo &info);
  void fillReports(const core::InterfaceInfo &info);
  void copy();
  void save();

  std::unique_ptr<Ui::InterfaceInfoWindow> ui_;
  QString name_;
  QString text_;
};

} // namespace explorer

#endif
