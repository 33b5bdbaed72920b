#include "MacroNamePanelController.h"
#include "ModalTestSupport.h"

#include "platform/DefaultMode.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

QDialog *Panel(QWidget *modal) {
  auto *panel = qobject_cast<QDialog *>(modal);
  return panel && panel->objectName() == "MacroName" ? panel : nullptr;
}

QLineEdit *NameField(QWidget *panel) {
  return panel->findChild<QLineEdit *>("nameField");
}

QPushButton *Button(QWidget *panel, const QString &title) {
  for (QPushButton *button : panel->findChildren<QPushButton *>())
    if (button->text() == title)
      return button;
  return nullptr;
}

// Key presses carrying each character of text, also characters beyond
// Latin-1, which QTest::keyClicks cannot send.
void Type(QWidget *widget, const QString &text) {
  for (QChar c : text)
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c),
                        Qt::NoModifier);
}

// Types text into the panel's field, then clicks the button with that title.
void TypeAndClick(const QString &text, const QString &title) {
  WhenModalUp([text, title](QWidget *modal) {
    QDialog *panel = Panel(modal);
    QVERIFY(panel);
    Type(NameField(panel), text);
    QPushButton *button = Button(panel, title);
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
  });
}

} // namespace

class MacroNamePanelTest : public QObject {
  Q_OBJECT

private slots:
  void init();
  void cleanup();

  void okReturnsTheTextExactlyAsTyped_data();
  void okReturnsTheTextExactlyAsTyped();
  void okOnAnEmptyFieldReturnsTheEmptyString();
  void returnKeyIsOK();
  void cancelReturnsNothing();
  void escapeCancels();
  void closeBoxCancels();
  void everyRequestStartsFromTheResourceContents();
  void panelIsModalAndDefaultModeWorkWaits();
  void panelIsAWindowOfItsParentAndGoesAway();
  void okStopsAndCancelAbortsTheModalLoop();
  void panelLooksLikeANamePrompt();

private:
  std::unique_ptr<ModalWatchdog> watchdog_;
};

void MacroNamePanelTest::init() {
  watchdog_ = std::make_unique<ModalWatchdog>();
}

void MacroNamePanelTest::cleanup() {
  QVERIFY2(!watchdog_->fired(), "a modal widget was left up");
  watchdog_.reset();
  QVERIFY(!QApplication::activeModalWidget());
  QVERIFY(!hid::InModalScope());
}

void MacroNamePanelTest::okReturnsTheTextExactlyAsTyped_data() {
  QTest::addColumn<QString>("text");
  QTest::newRow("plain") << "Init display";
  QTest::newRow("blanks kept") << "  two  blanks  ";
  QTest::newRow("only blanks") << "   ";
  QTest::newRow("not Latin-1")
      << QString::fromUtf8("\xc3\xa9t\xc3\xa9 \xe2\x82\xac");
}

void MacroNamePanelTest::okReturnsTheTextExactlyAsTyped() {
  QFETCH(QString, text);
  TypeAndClick(text, "OK");
  const std::optional<QString> name =
      MacroNamePanelController::chooseMacroName();
  QVERIFY(name);
  QCOMPARE(*name, text);
}

void MacroNamePanelTest::okOnAnEmptyFieldReturnsTheEmptyString() {
  TypeAndClick("", "OK");
  const std::optional<QString> name =
      MacroNamePanelController::chooseMacroName();
  QVERIFY(name);
  QVERIFY(name->isEmpty());
}

void MacroNamePanelTest::returnKeyIsOK() {
  WhenModalUp([](QWidget *modal) {
    QVERIFY(Panel(modal));
    Type(NameField(modal), "by key");
    QTest::keyClick(NameField(modal), Qt::Key_Return);
  });
  QCOMPARE(MacroNamePanelController::chooseMacroName(),
           std::optional<QString>("by key"));
}

void MacroNamePanelTest::cancelReturnsNothing() {
  TypeAndClick("typed anyway", "Cancel");
  QCOMPARE(MacroNamePanelController::chooseMacroName(), std::nullopt);
}

void MacroNamePanelTest::escapeCancels() {
  WhenModalUp([](QWidget *modal) {
    QVERIFY(Panel(modal));
    Type(NameField(modal), "typed anyway");
    QTest::keyClick(NameField(modal), Qt::Key_Escape);
  });
  QCOMPARE(MacroNamePanelController::chooseMacroName(), std::nullopt);
}

void MacroNamePanelTest::closeBoxCancels() {
  WhenModalUp([](QWidget *modal) {
    QVERIFY(Panel(modal));
    Type(NameField(modal), "typed anyway");
    // What the window system's close box delivers.
    QVERIFY(modal->windowHandle());
    QCloseEvent close;
    QApplication::sendEvent(modal->windowHandle(), &close);
  });
  QCOMPARE(MacroNamePanelController::chooseMacroName(), std::nullopt);
}

void MacroNamePanelTest::everyRequestStartsFromTheResourceContents() {
  const QString initial = MacroNamePanelController().macroName();
  QStringList shown;
  QList<QPointer<QDialog>> panels;
  for (const QString typed : {"first name", "second"}) {
    WhenModalUp([&shown, &panels, typed](QWidget *modal) {
      QVERIFY(Panel(modal));
      panels.append(Panel(modal));
      shown.append(NameField(modal)->text());
      Type(NameField(modal), typed);
      QTest::mouseClick(Button(modal, "OK"), Qt::LeftButton);
    });
    QCOMPARE(MacroNamePanelController::chooseMacroName(), initial + typed);
  }
  QCOMPARE(shown, QStringList({initial, initial}));
  QCOMPARE(panels.size(), 2);
  QVERIFY(!panels[0] && !panels[1]);
}

void MacroNamePanelTest::panelIsModalAndDefaultModeWorkWaits() {
  bool scopeWasOpen = false;
  Qt::WindowModality modality = Qt::NonModal;
  int workDone = 0;
  WhenModalUp([&](QWidget *modal) {
    scopeWasOpen = hid::InModalScope();
    modality = modal->windowModality();
    hid::RunInDefaultMode([&workDone] { ++workDone; });
    QCoreApplication::processEvents();
    QCOMPARE(workDone, 0);
    QTest::mouseClick(Button(modal, "Cancel"), Qt::LeftButton);
  });
  QCOMPARE(MacroNamePanelController::chooseMacroName(), std::nullopt);
  QVERIFY(scopeWasOpen);
  QCOMPARE(modality, Qt::ApplicationModal);
  QCOMPARE(workDone, 0);
  QTRY_COMPARE(workDone, 1);
}

void MacroNamePanelTest::panelIsAWindowOfItsParentAndGoesAway() {
  QWidget parent;
  parent.show();
  QWidget *panelParent = nullptr;
  bool panelIsWindow = false;
  WhenModalUp([&](QWidget *modal) {
    panelParent = modal->parentWidget();
    panelIsWindow = modal->isWindow();
    Type(NameField(modal), "x");
    QTest::mouseClick(Button(modal, "OK"), Qt::LeftButton);
  });
  QCOMPARE(MacroNamePanelController::chooseMacroName(&parent),
           std::optional<QString>("x"));
  QCOMPARE(panelParent, &parent);
  QVERIFY(panelIsWindow);
  QVERIFY(parent.findChildren<QDialog *>().isEmpty());
}

void MacroNamePanelTest::okStopsAndCancelAbortsTheModalLoop() {
  for (bool ok : {true, false}) {
    MacroNamePanelController controller;
    WhenModalUp([&controller, ok](QWidget *) {
      if (ok)
        controller.doOK();
      else
        controller.doCancel();
    });
    const int code = controller.window()->exec();
    if (ok)
      QCOMPARE(code, -1000);
    else
      QVERIFY(code != -1000);
  }
}

void MacroNamePanelTest::panelLooksLikeANamePrompt() {
  MacroNamePanelController controller;
  QDialog *panel = controller.window();
  QVERIFY(!panel->windowTitle().isEmpty());
  auto *prompt = panel->findChild<QLabel *>();
  QVERIFY(prompt);
  QVERIFY(!prompt->text().isEmpty());
  QCOMPARE(prompt->buddy(), controller.nameField());
  QVERIFY(Button(panel, "OK"));
  QVERIFY(Button(panel, "OK")->isDefault());
  QVERIFY(Button(panel, "Cancel"));
  panel->show();
  QVERIFY(panel->width() >= 320);
  QVERIFY(QTest::qWaitForWindowExposed(panel));
  panel->activateWindow();
  QTRY_COMPARE(QApplication::focusWidget(), controller.nameField());
  panel->hide();
}

QTEST_MAIN(MacroNamePanelTest)
#include "tst_macro_name_panel.moc"
