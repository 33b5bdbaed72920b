// The bar at the top of the main window that says when an attached Pinworth
// device cannot be opened for want of permission, with the commands that
// give the user at the seat access and a button that copies them. The
// explorer never runs them, nor asks for root itself.
#ifndef PINWORTH_EXPLORER_PERMISSION_HELP_H
#define PINWORTH_EXPLORER_PERMISSION_HELP_H

#include <QFrame>
#include <QStringList>

class QLabel;

namespace explorer {

// The devices of the library's list with an interface whose node this user
// may not open ("PinworthA (SN 1000)"), in list order, each once.
QStringList DevicesRefusingAccess();

// The shell commands that install the udev rule when udev has none, make
// udev read it and apply it to the hidraw nodes present, one a line.
QString PermissionCommands();

class PermissionHelp : public QFrame {
  Q_OBJECT
public:
  // Hidden until show(); parent owns it.
  explicit PermissionHelp(QWidget *parent);

  // Shows the bar for the devices, or hides it when there are none. Once
  // the user dismissed it, it stays hidden for the rest of the session.
  void showFor(const QStringList &devices);
  QString message() const;

private:
  QLabel *message_;
  QLabel *commands_;
  bool dismissed_ = false;
};

} // namespace explorer

#endif
