// The bar above the report form where the explorer says what happened or
// what it needs: the whole text, wrapped, never cut, with a Dismiss button.
// A message that asks for action stays until it is resolved (the caller
// clears it) or dismissed; a passing one goes after a few seconds. The
// status bar's activity text is never covered by it.
#ifndef PINWORTH_EXPLORER_MESSAGE_BAR_H
#define PINWORTH_EXPLORER_MESSAGE_BAR_H

#include <QFrame>
#include <QTimer>

class QLabel;

namespace explorer {

class MessageBar : public QFrame {
  Q_OBJECT
public:
  // Hidden until a message; parent owns it.
  explicit MessageBar(QWidget *parent);

  enum class Kind { Passing, Standing };
  // topic names what a standing message is about, for clear().
  void show(const QString &text, Kind kind = Kind::Passing,
            const QString &topic = {});
  // Hides the message if it is still about topic: its cause is resolved.
  void clear(const QString &topic);
  QString text() const;

private:
  QLabel *label_;
  QString topic_;
  QTimer passing_;
};

} // namespace explorer

#endif
