// The modal panels: the alert and the macro name panel, each holding
// default-mode work while it is up.
#include "app/framework/AlertPanel.h"
#include "app/framework/MacroNamePanelController.h"
#include "app/framework/ModalDialog.h"
#include "tests/support/ModalTestSupport.h"

#include "runloop/DefaultMode.h"

#include <QMessageBox>
#include <QTest>

class ModalPanelsTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() { explorer::WarnAboutModalsOutsideScope(); }

  void showsTheAlertAndHoldsDefaultModeWork_data() {
    QTest::addColumn<int>("key"); // 0: a click on the button
    QTest::newRow("OK clicked") << 0;
    QTest::newRow("Escape") << int(Qt::Key_Escape);
  }

  // The title heads the box, the message stands below, one "OK" button
  // dismisses it, and default-mode work waits until then.
  void showsTheAlertAndHoldsDefaultModeWork() {
    QFETCH(int, key);
    ModalWatchdog watchdog;
    int workDone = 0;
    AlertAnswerer answerer([&](QMessageBox *box) {
      QCOMPARE(box->windowTitle(), "Pinworth not found");
      QCOMPARE(box->windowModality(), Qt::ApplicationModal);
      runloop::RunInDefaultMode([&] { ++workDone; });
      QCoreApplication::processEvents();
      QCOMPARE(workDone, 0);
      if (key)
        QTest::keyClick(box, Qt::Key(key));
    });
    explorer::RunAlertPanel(nullptr, "Pinworth not found",
                            "There is no Pinworth device attached to you mac.");
    QCOMPARE(answerer.shown(),
             QStringList{"Pinworth not found | There is no Pinworth device "
                         "attached to you mac. | OK"});
    QTRY_COMPARE(workDone, 1);
    VerifyModalsClosed(watchdog);
  }

  // A modal run without the helper, as a stray QMessageBox::question would
  // be, is named on standard error; one run through it is not.
  void modalOutsideAScopeIsReported() {
    QMessageBox box(QMessageBox::Question, "Delete?", "Delete it?");
    WhenModalUp(
        [](QWidget *modal) { static_cast<QDialog *>(modal)->reject(); });
    QTest::ignoreMessage(QtWarningMsg,
                         "Modal window \"Delete?\" (QMessageBox) shown outside "
                         "a modal scope: device notifications and alerts "
                         "would be delivered under it");
    box.exec();
    QTest::failOnWarning(QRegularExpression("outside a modal scope"));
    WhenModalUp(
        [](QWidget *modal) { static_cast<QDialog *>(modal)->reject(); });
    explorer::RunModal(box);
  }

  void answer_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("named");
    const auto row = [](const char *name, const QString &typed, const char *how,
                        bool named) {
      QTest::newRow(name) << typed << QString(how) << named;
    };
    row("blanks kept", "  two  blanks  ", "OK", true);
    row("not Latin-1", QString::fromUtf8("\xc3\xa9t\xc3\xa9 \xe2\x82\xac"),
        "OK", true);
    row("empty", "", "OK", true);
    row("Return", "by key", "Return", true);
    row("Cancel", "typed anyway", "Cancel", false);
    row("Escape", "typed anyway", "Escape", false);
    row("close box", "typed anyway", "close box", false);
  }

  // OK and Return give the text exactly as typed, the empty string included;
  // the other ways give no value. Default-mode work waits meanwhile, and
  // each panel starts from the resource's field text.
  void answer() {
    QFETCH(QString, typed);
    QFETCH(QString, how);
    QFETCH(bool, named);
    ModalWatchdog watchdog;
    const QString initial = explorer::MacroNamePanelController().macroName();
    int workDone = 0;
    NamePanelAnswerer answerer(typed, how);
    for (int request = 0; request < 2; ++request) {
      QTimer::singleShot(
          0, [&] { runloop::RunInDefaultMode([&] { ++workDone; }); });
      QCOMPARE(explorer::MacroNamePanelController::chooseMacroName(),
               named ? std::optional<QString>(initial + typed) : std::nullopt);
      QCOMPARE(workDone, request);
      QTRY_COMPARE(workDone, request + 1);
    }
    QCOMPARE(answerer.fieldTexts(), QStringList(2, initial));
    VerifyModalsClosed(watchdog);
  }
};

QTEST_MAIN(ModalPanelsTest)
#include "tst_modal_panels.moc"
