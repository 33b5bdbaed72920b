// Driving modal dialogs from a test without hanging it. The helpers poll with
// plain QTimers, which keep running while a modal scope is open, and act from
// inside the dialog's modal loop.
#ifndef PINWORTH_TESTS_MODAL_TEST_SUPPORT_H
#define PINWORTH_TESTS_MODAL_TEST_SUPPORT_H

#include "runloop/DefaultMode.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <functional>

// Calls action with the active modal widget as soon as one is up.
inline void WhenModalUp(std::function<void(QWidget *)> action) {
  auto *poll = new QTimer;
  poll->setInterval(5);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
    if (QWidget *modal = QApplication::activeModalWidget()) {
      poll->deleteLater();
      poll->stop();
      action(modal);
    }
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
      for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<QDialog *>(widget);
            dialog && dialog->isVisible() && dialog->isModal()) {
          fired_ = true; // a slow test with no modal up is no failure
          dialog->reject();
        }
    });
    timer_.start(timeoutMS);
  }
  // Whether it had to end a modal dialog.
  bool fired() const { return fired_; }

private:
  QTimer timer_;
  bool fired_ = false;
};

// Fails the current test when a modal was left up or a modal scope is open.
inline void VerifyModalsClosed(const ModalWatchdog &watchdog) {
  QVERIFY2(!watchdog.fired(), "a modal widget was left up");
  QVERIFY(!QApplication::activeModalWidget());
  QVERIFY(!runloop::InModalScope());
}

// Answers every modal dialog of one kind that comes up while it exists.
class ModalAnswerer {
public:
  explicit ModalAnswerer(std::function<bool(QWidget *)> answer)
      : answer_(std::move(answer)) {
    poll_.setInterval(5);
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      QWidget *modal = QApplication::activeModalWidget();
      if (modal && !answering_) {
        answering_ = true;
        answer_(modal);
        answering_ = false;
      }
    });
    poll_.start();
  }

private:
  std::function<bool(QWidget *)> answer_;
  QTimer poll_;
  bool answering_ = false;
};

// Answers every message box: notes it as "title | message | buttons", runs
// whileUp inside its modal loop, then clicks "OK" (unless whileUp closed it).
class AlertAnswerer : ModalAnswerer {
public:
  explicit AlertAnswerer(std::function<void(QMessageBox *)> whileUp = {})
      : ModalAnswerer([this, whileUp](QWidget *modal) {
          auto *box = qobject_cast<QMessageBox *>(modal);
          if (!box)
            return false;
          QStringList buttons;
          for (QAbstractButton *button : box->buttons())
            buttons << button->text();
          shown_ << box->text() + " | " + box->informativeText() + " | " +
                        buttons.join(',');
          lastParent_ = box->parentWidget();
          if (whileUp)
            whileUp(box);
          if (box->isVisible())
            QTest::mouseClick(box->buttons().value(0), Qt::LeftButton);
          return true;
        }) {}

  const QStringList &shown() const { return shown_; }
  QWidget *lastParent() const { return lastParent_; }

private:
  QStringList shown_;
  QWidget *lastParent_ = nullptr;
};

// Answers every macro name panel: notes the name field's text, types text
// into it one key press a character (also beyond Latin-1), then dismisses it
// by how: "OK" or "Cancel" click that button, "Return" and "Escape" press
// that key, "close box" sends what the window system's close box delivers.
class NamePanelAnswerer : ModalAnswerer {
public:
  NamePanelAnswerer(const QString &text, const QString &how)
      : ModalAnswerer([this, text, how](QWidget *panel) {
          auto *field = panel->findChild<QLineEdit *>("nameField");
          if (panel->objectName() != "MacroName" || !field)
            return false;
          fieldTexts_ << field->text();
          for (QChar c : text)
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown,
                                QString(c), Qt::NoModifier);
          if (how == "Return" || how == "Escape") {
            QTest::keyClick(field,
                            how == "Return" ? Qt::Key_Return : Qt::Key_Escape);
          } else if (how == "close box") {
            QCloseEvent close;
            QApplication::sendEvent(panel->windowHandle(), &close);
          } else {
            for (auto *button : panel->findChildren<QAbstractButton *>())
              if (button->text() == how)
                QTest::mouseClick(button, Qt::LeftButton);
          }
          return true;
        }) {}

  // The name field's text as each panel came up.
  const QStringList &fieldTexts() const { return fieldTexts_; }

private:
  QStringList fieldTexts_;
};

#endif
