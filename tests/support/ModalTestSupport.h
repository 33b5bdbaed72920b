// Driving modal dialogs from a test without hanging it.
#ifndef PINWORTH_TESTS_MODAL_TEST_SUPPORT_H
#define PINWORTH_TESTS_MODAL_TEST_SUPPORT_H

#include "runloop/DefaultMode.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTest>
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

// Fails the current test when a modal was left up or a modal scope is still
// open after it.
inline void VerifyModalsClosed(const ModalWatchdog &watchdog) {
  QVERIFY2(!watchdog.fired(), "a modal widget was left up");
  QVERIFY(!QApplication::activeModalWidget());
  QVERIFY(!runloop::InModalScope());
}

// An alert as the user saw it.
struct ShownAlert {
  QString title; // the headline
  QString text;  // the message under it
  QStringList buttons;

  friend bool operator==(const ShownAlert &, const ShownAlert &) = default;
};

// Answers every message box that comes up while it exists: notes its title,
// text and buttons, runs the whileUp action inside the box's modal loop, then
// clicks its "OK" button. Uses a plain QTimer, which keeps running while a
// modal scope is open.
class AlertAnswerer {
public:
  explicit AlertAnswerer(std::function<void(QMessageBox *)> whileUp = {})
      : whileUp_(std::move(whileUp)) {
    poll_.setInterval(5);
    QObject::connect(&poll_, &QTimer::timeout, [this] { answer(); });
    poll_.start();
  }

  const QList<ShownAlert> &alerts() const { return alerts_; }
  // Each alert as "title | text | buttons", for comparisons that print well.
  QStringList shown() const {
    QStringList texts;
    for (const ShownAlert &alert : alerts_)
      texts << alert.title + " | " + alert.text + " | " +
                   alert.buttons.join(',');
    return texts;
  }
  // The last alert's parent and modality.
  QWidget *lastParent() const { return lastParent_; }
  Qt::WindowModality lastModality() const { return lastModality_; }

private:
  void answer() {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || answering_)
      return;
    answering_ = true;
    ShownAlert alert{box->text(), box->informativeText(), {}};
    QAbstractButton *ok = nullptr;
    for (QAbstractButton *button : box->buttons()) {
      alert.buttons << button->text();
      if (button->text() == QLatin1String("OK"))
        ok = button;
    }
    alerts_ << alert;
    lastParent_ = box->parentWidget();
    lastModality_ = box->windowModality();
    if (whileUp_)
      whileUp_(box);
    if (ok)
      QTest::mouseClick(ok, Qt::LeftButton);
    else
      box->reject();
    answering_ = false;
  }

  std::function<void(QMessageBox *)> whileUp_;
  QTimer poll_;
  QList<ShownAlert> alerts_;
  QWidget *lastParent_ = nullptr;
  Qt::WindowModality lastModality_ = Qt::NonModal;
  bool answering_ = false;
};

#endif
