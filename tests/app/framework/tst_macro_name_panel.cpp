#include "app/framework/MacroNamePanelController.h"
#include "tests/support/ModalTestSupport.h"

#include "runloop/DefaultMode.h"

#include <QTest>

class MacroNamePanelTest : public QObject {
  Q_OBJECT

private slots:
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
    const QString initial = MacroNamePanelController().macroName();
    int workDone = 0;
    NamePanelAnswerer answerer(typed, how);
    for (int request = 0; request < 2; ++request) {
      QTimer::singleShot(
          0, [&] { runloop::RunInDefaultMode([&] { ++workDone; }); });
      QCOMPARE(MacroNamePanelController::chooseMacroName(),
               named ? std::optional<QString>(initial + typed) : std::nullopt);
      QCOMPARE(workDone, request);
      QTRY_COMPARE(workDone, request + 1);
    }
    QCOMPARE(answerer.fieldTexts(), QStringList(2, initial));
    VerifyModalsClosed(watchdog);
  }
};

QTEST_MAIN(MacroNamePanelTest)
#include "tst_macro_name_panel.moc"
