#include "ModalTestSupport.h"
#include "framework/MacroNamePanelController.h"

#include "runloop/DefaultMode.h"

#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

QLineEdit *NameField(QWidget *panel) {
  return panel->findChild<QLineEdit *>("nameField");
}

QPushButton *Button(QWidget *panel, const QString &title) {
  for (QPushButton *button : panel->findChildren<QPushButton *>())
    if (button->text() == title)
      return button;
  return nullptr;
}

// Types text into the panel's field with one key press per character (also
// beyond Latin-1, which QTest::keyClicks cannot send), then dismisses the
// panel: "OK" and "Cancel" click that button, "Return" and "Escape" press
// that key, "close box" sends what the window system's close box delivers.
void TypeAndDismiss(QWidget *panel, const QString &text, const QString &how) {
  QLineEdit *field = NameField(panel);
  QVERIFY(field);
  for (QChar c : text)
    QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c),
                        Qt::NoModifier);
  if (how == "Return" || how == "Escape") {
    QTest::keyClick(field, how == "Return" ? Qt::Key_Return : Qt::Key_Escape);
  } else if (how == "close box") {
    QVERIFY(panel->windowHandle());
    QCloseEvent close;
    QApplication::sendEvent(panel->windowHandle(), &close);
  } else {
    QVERIFY(Button(panel, how));
    QTest::mouseClick(Button(panel, how), Qt::LeftButton);
  }
}

} // namespace

class MacroNamePanelTest : public QObject {
  Q_OBJECT

  std::unique_ptr<ModalWatchdog> watchdog_;

private slots:
  void init() { watchdog_ = std::make_unique<ModalWatchdog>(); }

  void cleanup() {
    VerifyModalsClosed(*watchdog_);
    watchdog_.reset();
  }

  void answer_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("named");
    const auto row = [](const char *name, const QString &typed, const char *how,
                        bool named) {
      QTest::newRow(name) << typed << QString(how) << named;
    };
    row("plain", "Init display", "OK", true);
    row("blanks kept", "  two  blanks  ", "OK", true);
    row("only blanks", "   ", "OK", true);
    row("not Latin-1", QString::fromUtf8("\xc3\xa9t\xc3\xa9 \xe2\x82\xac"),
        "OK", true);
    row("empty", "", "OK", true);
    row("Return", "by key", "Return", true);
    row("Cancel", "typed anyway", "Cancel", false);
    row("Escape", "typed anyway", "Escape", false);
    row("close box", "typed anyway", "close box", false);
  }

  // OK and Return give the text exactly as typed, the empty string included;
  // Cancel, Escape and the close box give no value. The panel is application
  // modal, and default-mode work waits until it is dismissed.
  void answer() {
    QFETCH(QString, typed);
    QFETCH(QString, how);
    QFETCH(bool, named);
    // Shared, so that work which runs late after a failure still has it.
    const auto workDone = std::make_shared<int>(0);
    WhenModalUp([typed, how, workDone](QWidget *panel) {
      QCOMPARE(panel->objectName(), "MacroName");
      QCOMPARE(panel->windowModality(), Qt::ApplicationModal);
      runloop::RunInDefaultMode([workDone] { ++*workDone; });
      QCoreApplication::processEvents();
      QCOMPARE(*workDone, 0);
      TypeAndDismiss(panel, typed, how);
    });
    QCOMPARE(MacroNamePanelController::chooseMacroName(),
             named ? std::optional<QString>(typed) : std::nullopt);
    QCOMPARE(*workDone, 0);
    QTRY_COMPARE(*workDone, 1);
  }

  // Each request opens a new panel with the field as the resource holds it,
  // and the panel is gone afterwards.
  void everyRequestStartsFresh() {
    const QString initial = MacroNamePanelController().macroName();
    QStringList shown;
    QList<QPointer<QWidget>> panels;
    for (const QString typed : {"first name", "second"}) {
      WhenModalUp([&shown, &panels, typed](QWidget *panel) {
        panels.append(panel);
        shown.append(NameField(panel)->text());
        TypeAndDismiss(panel, typed, "OK");
      });
      QCOMPARE(MacroNamePanelController::chooseMacroName(), initial + typed);
    }
    QCOMPARE(shown, QStringList({initial, initial}));
    QVERIFY(!panels.value(0) && !panels.value(1));
  }
};

QTEST_MAIN(MacroNamePanelTest)
#include "tst_macro_name_panel.moc"
