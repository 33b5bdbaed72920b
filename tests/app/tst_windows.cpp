// Several explorer windows in one session, over one simulated backend: each
// has its own interface, form, reading and log; every window that listens to
// an interface logs each of its reports; their macro menus follow each
// other; closing one leaves the others working; each keeps its own place.
#include "tests/app/ExplorerFixture.h"

#include "app/framework/WindowMenu.h"
#include "app/log/LogView.h"
#include "lib/PinworthLib.h"

#include <QComboBox>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

using hid::sim::DeviceID;
using hid::sim::Model;

namespace {

template <typename Widget = QPushButton>
Widget *In(explorer::PinworthWindowController *window, const char *name) {
  return ExplorerFixture::widgetIn<Widget>(window, name);
}
void Choose(explorer::PinworthWindowController *window, int position) {
  ExplorerFixture::chooseIn(window, "interfacePopup", position);
}

} // namespace

class WindowsTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;

private slots:
  void initTestCase() { fixture.setUp(); }
  void cleanup() { fixture.cleanup(); }

  // Both windows listen to A:1000:1 and the second polls B:2000:0 as well;
  // a device change rebuilds the list under them; then the second window
  // closes. The interface stays armed once, for whoever listens.
  void everyListeningWindowLogsEveryReport() {
    const DeviceID a = fixture.backend().attach(Model::PinworthA, "1000");
    const DeviceID b = fixture.backend().attach(Model::PinworthB, "2000");
    fixture.loadAndWake();
    explorer::PinworthWindowController *first = fixture.controller();
    // The second window starts nothing again: the list, and so the first
    // window's nodes and handles, stay as they are.
    const int searches = fixture.backend().searchCount();
    const PinworthListNode *node = PinworthInterfaceListNodeAtIndex(1);
    explorer::PinworthWindowController *second = fixture.newWindow();
    QCOMPARE(fixture.backend().searchCount(), searches);
    QCOMPARE(PinworthInterfaceListNodeAtIndex(1), node);
    QCOMPARE(In<QComboBox>(second, "interfacePopup")->count(), 4);
    for (explorer::PinworthWindowController *window : {first, second}) {
      Choose(window, 1);
      ExplorerFixture::clickIn(window, "readButton");
    }
    Choose(second, 2);
    ExplorerFixture::clickIn(second, "readButton");
    QVERIFY(second->reading().isPolling());
    QVERIFY(!first->reading().isPolling());

    const auto send = [&](int count) {
      for (int n = 0; n < count; ++n)
        fixture.backend().sendInputReport(a, 1, {5, uint8_t(n), 0, 0});
    };
    send(20);
    fixture.backend().detach(fixture.backend().attach(Model::PinworthB, "9"));
    QTRY_COMPARE(In<QComboBox>(first, "interfacePopup")->count(), 4);
    send(20);
    QTRY_COMPARE(ExplorerFixture::reportRows(first, "A 1000 if1"), 40);
    QTRY_COMPARE(ExplorerFixture::reportRows(second, "A 1000 if1"), 40);
    QVERIFY(ExplorerFixture::reportRows(second, "B 2000 if0") >= 1);
    QCOMPARE(ExplorerFixture::reportRows(first, "B 2000 if0"), 0);
    fixture.backend().setPinPulledLow(b, 3, true);
    QTRY_COMPARE(ExplorerFixture::reportRows(second, "B 2000 if0"), 2);

    second->mainWindow()->close();
    QTRY_COMPARE(fixture.process().controllers().size(), size_t(1));
    send(5);
    QTRY_COMPARE(ExplorerFixture::reportRows(first, "A 1000 if1"), 45);
    int handlers = 0;
    for (const auto &handle : fixture.backend().handleHistories(a, 1))
      handlers += handle.handlerInstalled;
    QCOMPARE(handlers, 1);
    Choose(first, 0);
    ExplorerFixture::clickIn(first, "readButton");
    QVERIFY(first->reading().isPolling());
  }

  // A macro deleted in one window leaves the other's menu too; each window
  // comes back where it was at the next start.
  void windowsShareMacrosNotPlaces() {
    fixture.backend().attach(Model::PinworthA, "1000");
    fixture.loadAndWake();
    explorer::PinworthWindowController *first = fixture.controller();
    explorer::PinworthWindowController *second = fixture.newWindow();
    auto *secondMacros = In<QComboBox>(second, "macroPopup");
    QCOMPARE(secondMacros->count(), 6);
    ExplorerFixture::choose(In<QComboBox>(first, "macroPopup"), 3);
    ExplorerFixture::clickIn(first, "deleteMacroButton");
    QCOMPARE(secondMacros->count(), 5);
    QCOMPARE(secondMacros->itemText(3),
             In<QComboBox>(first, "macroPopup")->itemText(3));

    first->mainWindow()->setGeometry(40, 50, 700, 620);
    second->mainWindow()->setGeometry(60, 30, 720, 520);
    Choose(second, 1);
    QTest::qWait(50);
    const QSize secondSize = second->mainWindow()->size();
    fixture.close();
    fixture.loadAndWake();
    explorer::PinworthWindowController *again = fixture.newWindow();
    QCOMPARE(again->mainWindow()->size(), secondSize);
    QCOMPARE(In<QComboBox>(again, "interfacePopup")->currentIndex(), 1);
    QCOMPARE(
        In<QComboBox>(fixture.controller(), "interfacePopup")->currentIndex(),
        0);
    QCOMPARE(In<QComboBox>(again, "macroPopup")->count(), 5);
  }

  // Each window is named by its target and has the Window menu, which
  // lists every explorer window; Quit with two windows says what it does
  // and may be cancelled; Close Window closes one window.
  void windowsAreNamedListedAndClosed() {
    fixture.backend().attach(Model::PinworthA, "1000");
    fixture.loadAndWake();
    QCOMPARE(fixture.window()->windowTitle(),
             "PinworthA (SN 1000) Interface 0 — Pinworth Explorer");
    explorer::PinworthWindowController *second = fixture.newWindow();
    Choose(second, 1);
    QCOMPARE(second->mainWindow()->windowTitle(),
             "PinworthA (SN 1000) Interface 1 — Pinworth Explorer");
    QMenu *menu = explorer::WindowMenuOf(*second->mainWindow());
    QVERIFY(menu && explorer::WindowMenuOf(*fixture.window()));
    emit menu->aboutToShow();
    QStringList listed, checked;
    for (const QAction *action : menu->actions())
      if (action->isCheckable()) {
        listed << action->text();
        if (action->isChecked())
          checked << action->text();
      }
    listed.sort();
    QCOMPARE(listed,
             QStringList({"PinworthA (SN 1000) Interface 0 — Pinworth Explorer",
                          "PinworthA (SN 1000) Interface 1 — Pinworth "
                          "Explorer"}));
    QCOMPARE(checked, QStringList{second->mainWindow()->windowTitle()});

    QString asked;
    WhenModalUp([&](QWidget *modal) {
      auto *box = qobject_cast<QMessageBox *>(modal);
      QVERIFY(box);
      asked = box->informativeText();
      box->button(QMessageBox::Cancel)->click();
    });
    second->mainWindow()->findChild<QAction *>("quitAction")->trigger();
    QVERIFY2(asked.startsWith("The 2 explorer windows close"),
             qPrintable(asked));
    QCOMPARE(fixture.process().controllers().size(), size_t(2));
    QAction *close =
        second->mainWindow()->findChild<QAction *>("closeWindowAction");
    close->trigger();
    QTRY_COMPARE(fixture.process().controllers().size(), size_t(1));
    QVERIFY(fixture.window()->isVisible());
  }

  // At first start every column of the log shows without scrolling; a
  // window saved larger than the screen comes back inside it.
  void windowsFitTheirScreen() {
    fixture.loadAndWake();
    QMainWindow *window = fixture.window();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    explorer::LogView *log = fixture.logTable();
    QHeaderView *header = log->horizontalHeader();
    QTRY_COMPARE(log->horizontalScrollBar()->maximum(), 0);
    for (int column = 0; column < header->count(); ++column)
      if (!header->isSectionHidden(column))
        QVERIFY2(header->sectionSize(column) >= header->sectionSizeHint(column),
                 qPrintable(QString::number(column)));

    // A 1600x1000 screen at scale 2 is 800x500: the window fits it, title
    // bar included, with the log's buttons and the status bar in view.
    window->resize(800, 470);
    QCOMPARE(window->size(), QSize(800, 470));
    for (const char *name : {"exportButton", "activityLabel"}) {
      const auto *widget = window->findChild<QWidget *>(name);
      QVERIFY2(window->rect().contains(
                   QRect(widget->mapTo(window, QPoint(0, 0)), widget->size())),
               name);
    }

    window->setGeometry(300, 200, 3000, 2000);
    fixture.close();
    fixture.loadAndWake();
    const QRect available = fixture.window()->screen()->availableGeometry();
    QVERIFY(available.contains(fixture.window()->geometry()));
  }
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
