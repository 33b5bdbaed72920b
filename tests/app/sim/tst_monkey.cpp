// Random clicks, double clicks, context menus, keys, wheel turns and window
// sizes over every widget of the explorer's windows, the Device Simulator's
// and every dialog they open, from a seed, while the devices send: nothing
// crashes, no sanitizer speaks, no modal is shown outside a modal scope, and
// every dialog the run opened ends when asked.
//   PINWORTH_MONKEY_SEED     the seed (by default 1, the one CI runs)
//   PINWORTH_MONKEY_SECONDS  how long it plays (by default 8)
//   PINWORTH_MONKEY_LOG      a file that gets each event as it is sent, so
//                            that a crash's last events can be read
#include "app/framework/WindowMenu.h"
#include "app/sim/LogSelectionReplay.h"
#include "device_simulator/SimulatorWindow.h"
#include "runloop/DefaultMode.h"
#include "tests/app/ExplorerFixture.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <random>

namespace {

int EnvNumber(const char *name, int otherwise) {
  bool ok = false;
  const int value = qEnvironmentVariableIntValue(name, &ok);
  return ok ? value : otherwise;
}

bool IsDialogOrWindow(const QWidget *widget) {
  return widget->isVisible() && widget->windowType() != Qt::ToolTip &&
         widget->windowType() != Qt::Popup;
}

// Plays events from a chain of single-shot timers: each step schedules the
// next before it acts, so that the play goes on inside any modal loop the
// act opens. When the time is up it ends every dialog and menu still up.
class Monkey : public QObject {
public:
  Monkey(uint32_t seed, int milliseconds, QString home,
         std::function<void()> deviceSends)
      : random_(seed), length_(milliseconds), home_(std::move(home)),
        deviceSends_(std::move(deviceSends)) {
    if (const QString path = qEnvironmentVariable("PINWORTH_MONKEY_LOG");
        !path.isEmpty()) {
      log_.setFileName(path);
      log_.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
  }

  void start() {
    clock_.start();
    QTimer::singleShot(0, this, &Monkey::step);
  }
  bool ended() const { return ended_; }
  int events() const { return events_; }
  // Whether ending the run took more than a few rounds of closing.
  bool stuck() const { return stuck_; }

private:
  int pick(int below) {
    return std::uniform_int_distribution<int>(0, below - 1)(random_);
  }
  bool chance(int percent) { return pick(100) < percent; }

  void note(const QString &what, const QWidget *widget) {
    if (!log_.isOpen())
      return;
    log_.write(
        QStringLiteral("%1 %2 %3 %4\n")
            .arg(events_)
            .arg(what, widget->metaObject()->className(), widget->objectName())
            .toUtf8());
  }

  void step() {
    if (clock_.elapsed() >= length_) {
      endEverything();
      return;
    }
    QTimer::singleShot(pick(12), this, &Monkey::step);
    ++events_;
    act();
  }

  // The active modal dialog, else an open menu, else a window.
  QWidget *stage() {
    if (QWidget *modal = QApplication::activeModalWidget())
      return modal;
    if (QWidget *popup = QApplication::activePopupWidget())
      return popup;
    QWidgetList windows;
    for (QWidget *widget : QApplication::topLevelWidgets())
      if (IsDialogOrWindow(widget))
        windows << widget;
    return windows.isEmpty() ? nullptr : windows[pick(windows.size())];
  }

  // Files the run saves stay in the temporary home.
  void keepHome(QWidget *stage) {
    if (auto *dialog = qobject_cast<QFileDialog *>(stage);
        dialog && !dialog->directory().absolutePath().startsWith(home_))
      dialog->setDirectory(home_);
  }

  QWidget *someWidgetOf(QWidget *stage) {
    QWidgetList widgets{stage};
    for (QWidget *child : stage->findChildren<QWidget *>())
      if (child->isVisible() && child->isEnabled() && !child->size().isEmpty())
        widgets << child;
    return widgets[pick(widgets.size())];
  }

  QPoint somePointOf(const QWidget *widget) {
    return QPoint(pick(std::max(1, widget->width())),
                  pick(std::max(1, widget->height())));
  }

  void act() {
    QWidget *on = stage();
    if (!on)
      return;
    keepHome(on);
    const int what = pick(100);
    if (what < 40) {
      click(someWidgetOf(on));
    } else if (what < 68) {
      press(on);
    } else if (what < 74) {
      QWidget *widget = someWidgetOf(on);
      note("context menu", widget);
      const QPoint at = somePointOf(widget);
      QContextMenuEvent menu(QContextMenuEvent::Mouse, at,
                             widget->mapToGlobal(at));
      QApplication::sendEvent(widget, &menu);
    } else if (what < 82) {
      turnWheel(someWidgetOf(on));
    } else if (what < 88) {
      if (!qobject_cast<QDialog *>(on) && !qobject_cast<QMenu *>(on)) {
        note("resize", on);
        // Small heights the more often: a squeezed log is where views fail.
        on->resize(300 + pick(1400), 80 + pick(chance(50) ? 200 : 1000));
      }
    } else {
      deviceSends_();
    }
  }

  void click(QWidget *widget) {
    const QPoint at = somePointOf(widget);
    if (chance(10)) {
      note("double click", widget);
      QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    } else {
      note("click", widget);
      QTest::mouseClick(widget, chance(90) ? Qt::LeftButton : Qt::RightButton,
                        chance(10) ? Qt::ShiftModifier : Qt::NoModifier, at);
    }
  }

  void press(QWidget *stage) {
    static const Qt::Key kKeys[] = {
        Qt::Key_0,         Qt::Key_1,        Qt::Key_2,      Qt::Key_5,
        Qt::Key_7,         Qt::Key_9,        Qt::Key_A,      Qt::Key_B,
        Qt::Key_C,         Qt::Key_D,        Qt::Key_E,      Qt::Key_F,
        Qt::Key_G,         Qt::Key_X,        Qt::Key_Z,      Qt::Key_Space,
        Qt::Key_Tab,       Qt::Key_Backtab,  Qt::Key_Return, Qt::Key_Escape,
        Qt::Key_Backspace, Qt::Key_Delete,   Qt::Key_Up,     Qt::Key_Down,
        Qt::Key_Left,      Qt::Key_Right,    Qt::Key_Home,   Qt::Key_End,
        Qt::Key_PageUp,    Qt::Key_PageDown, Qt::Key_F1,     Qt::Key_Menu};
    // Every window shortcut but Ctrl+Q, which ends the program.
    static const Qt::Key kControlKeys[] = {
        Qt::Key_A, Qt::Key_C, Qt::Key_V, Qt::Key_X, Qt::Key_Z,
        Qt::Key_F, Qt::Key_S, Qt::Key_O, Qt::Key_E, Qt::Key_T,
        Qt::Key_D, Qt::Key_N, Qt::Key_R, Qt::Key_L, Qt::Key_Return};
    QWidget *focus = QApplication::focusWidget();
    QWidget *target = focus && focus->window() == stage ? focus : stage;
    note("key", target);
    if (chance(15))
      QTest::keyClick(target, kControlKeys[pick(std::size(kControlKeys))],
                      Qt::ControlModifier);
    else
      QTest::keyClick(target, kKeys[pick(std::size(kKeys))],
                      chance(10) ? Qt::ShiftModifier : Qt::NoModifier);
  }

  void turnWheel(QWidget *widget) {
    note("wheel", widget);
    const QPointF at = somePointOf(widget);
    QWheelEvent wheel(at, widget->mapToGlobal(at), QPoint(),
                      QPoint(0, chance(50) ? 120 : -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
  }

  // Closes the innermost dialog or menu a round at a time, letting each
  // modal loop return, until none is left.
  void endEverything() {
    auto *closer = new QTimer(this);
    closer->setInterval(20);
    connect(closer, &QTimer::timeout, this,
            [this, closer, rounds = 0]() mutable {
              if (QWidget *popup = QApplication::activePopupWidget()) {
                popup->close();
              } else if (QWidget *modal = QApplication::activeModalWidget()) {
                if (auto *dialog = qobject_cast<QDialog *>(modal))
                  dialog->reject();
                else
                  modal->close();
              } else if (!runloop::InModalScope()) {
                closer->deleteLater();
                closer->stop();
                ended_ = true;
                return;
              }
              stuck_ = stuck_ || ++rounds > 200;
            });
    closer->start();
  }

  std::mt19937 random_;
  const int length_;
  const QString home_;
  std::function<void()> deviceSends_;
  QElapsedTimer clock_;
  QFile log_;
  int events_ = 0;
  bool ended_ = false;
  bool stuck_ = false;
};

} // namespace

class MonkeyTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;

private slots:
  void initTestCase() { fixture.setUp(); }
  void cleanup() { fixture.cleanup(); }

  void randomUseEndsInNoCrash() {
    const uint32_t seed = EnvNumber("PINWORTH_MONKEY_SEED", 1);
    const int seconds = EnvNumber("PINWORTH_MONKEY_SECONDS", 8);
    qInfo("seed %u for %d s", seed, seconds);
    const hid::sim::DeviceID deviceA = fixture.startWithPinworthA();
    fixture.backend().attach(hid::sim::Model::PinworthB, "2000");
    simulator::SimulatorWindow simulator(fixture.backend());
    explorer::AddLogSelectionReplay(fixture.process(), simulator);
    simulator::AddSimulatorItem(*explorer::WindowMenuOf(*fixture.window()),
                                simulator);
    simulator.show();
    // The run keeps its window and its program, in the windows it opens
    // too.
    const auto keep = [](QMainWindow *window) {
      for (const char *name : {"closeWindowAction", "quitAction"})
        window->findChild<QAction *>(name)->setEnabled(false);
    };
    keep(fixture.window());
    connect(&fixture.process(), &explorer::ExplorerProcess::windowOpened, this,
            [keep](explorer::PinworthWindowController *window) {
              keep(window->mainWindow());
            });
    uint8_t key = 0;
    Monkey monkey(seed, seconds * 1000, fixture.homePath(), [&] {
      fixture.backend().sendInputReport(deviceA, 1,
                                        {0x0C, 0, ++key, 0, 0, 0, 0});
    });
    // The run's own dialogs are ended by the run, not by the watchdog.
    fixture.restartWatchdog((seconds + 30) * 1000);
    monkey.start();
    QVERIFY(
        QTest::qWaitFor([&] { return monkey.ended(); }, (seconds + 20) * 1000));
    QVERIFY2(!monkey.stuck(), "a dialog did not end when it was asked to");
    qInfo("%d events", monkey.events());
    QVERIFY(monkey.events() > seconds * 50);
  }
};

QTEST_MAIN(MonkeyTest)
#include "tst_monkey.moc"
