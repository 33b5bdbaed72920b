// The panel that asks for the name of a new macro.
#ifndef PINWORTH_EXPLORER_MACRO_NAME_PANEL_CONTROLLER_H
#define PINWORTH_EXPLORER_MACRO_NAME_PANEL_CONTROLLER_H

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

class QLineEdit;
namespace Ui {
class MacroName;
}

namespace explorer {

class MacroNamePanelController : public QObject {
  Q_OBJECT
public:
  // The codes with which doOK and doCancel end the panel's modal loop. Escape
  // and the close box end it with QDialog::Rejected; every code but
  // kModalStopped is a cancel.
  static constexpr int kModalStopped = -1000;
  static constexpr int kModalAborted = -1001;

  // Loads a new panel from the MacroName resource, as a window of parent
  // (which may be null). The panel is not shown yet.
  explicit MacroNamePanelController(QWidget *parent = nullptr);
  ~MacroNamePanelController() override;

  // Asks for a name in a new application-modal panel, inside a modal scope,
  // and returns once the panel is dismissed: the text exactly as typed (the
  // empty string included) after OK, no value after Cancel, Escape or the
  // close box.
  static std::optional<QString> chooseMacroName(QWidget *parent = nullptr);

  QDialog *window() const { return window_; }
  // The panel's name field, and its current text; valid while the panel is.
  QLineEdit *nameField() const;
  QString macroName() const;

public slots:
  void doOK();
  void doCancel();

private:
  // The panel; owned here, and deleted with its parent if that goes first.
  QPointer<QDialog> window_;
  std::unique_ptr<Ui::MacroName> ui_;
};

} // namespace explorer

#endif
