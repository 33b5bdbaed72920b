// Driving modal dialogs from a test without hanging it.
#ifndef PINWORTH_TESTS_MODAL_TEST_SUPPORT_H
#define PINWORTH_TESTS_MODAL_TEST_SUPPORT_H

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <functional>

// Calls action with the active modal widget as soon as one is up; the call is
// made from inside that widget's modal loop. Uses a plain QTimer, which keeps
// running while a modal scope is open.
inline void WhenModalUp(std::function<void(QWidget *)> action) {
  auto *poll = new QTimer;
  poll->setInterval(5);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal)
      return;
    poll->stop();
    poll->deleteLater();
    action(modal);
  });
  poll->start();
}

// Rejects every modal widget still up when the time runs out, so that one
// failing test ends with a failure instead of hanging the whole program.
class ModalWatchdog {
public:
  explicit ModalWatchdog(int timeoutMS = 10000) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      fired_ = true;
      for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (!widget->isVisible() || !widget->isModal())
          continue;
        if (auto *dialog = qobject_cast<QDialog *>(widget))
          dialog->reject();
        else
          widget->close();
      }
    });
    timer_.start(timeoutMS);
  }

  bool fired() const { return fired_; }

private:
  QTimer timer_;
  bool fired_ = false;
};

#endif
