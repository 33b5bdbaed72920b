// The report form: its short and long layouts as the interface menu selects
// them, the reset action, and a window resource that lacks a tagged view.
#include "ExplorerFixture.h"

#include "ViewWithTag.h"

#include <QApplication>
#include <QPalette>
#include <QRegularExpression>
#include <QTest>

using hid::sim::Model;

namespace {

QColor textColor(const QWidget *label) {
  return label->palette().color(QPalette::WindowText);
}

const QRegularExpression kMissingSubviewMessage(
    "PinworthWindowController::interfacePopupChanged, "
    "PinworthWindowController\\.cpp:\\d+: could't get subview for tag$");

} // namespace

class ReportFormTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() { fixture.setUp(); }
  void init() {
    fixture.backend().attach(Model::PinworthA, "1000");
    fixture.backend().attach(Model::PinworthB, "2000");
  }
  void cleanup() {
    fixture.close();
    fixture.detachAllDevices();
  }

  void startsInShortLayout();
  void evenPositionKeepsShortLayout();
  void oddPositionTakesLongLayout();
  void evenPositionAfterOddTakesShortLayout();
  void choosingShownInterfaceChangesNothing();
  void resetSetsEveryByteInShortLayout();
  void resetSetsEveryByteInLongLayout();
  void missingByteFieldEndsLayoutAtWake();
  void missingCaptionEndsLayoutChange();
  void tabMovesThroughFormInOrder();

private:
  void verifyCaptionColors(const QColor &color);
  ExplorerFixture fixture;
};

void ReportFormTest::verifyCaptionColors(const QColor &color) {
  for (int tag = 200; tag <= 203; ++tag) {
    QVERIFY(fixture.caption(tag));
    QCOMPARE(textColor(fixture.caption(tag)), color);
  }
}

void ReportFormTest::startsInShortLayout() {
  fixture.loadAndWake();
  QCOMPARE(fixture.controller()->currentReportSize(), 4);
  QCOMPARE(fixture.byteEnabled(),
           QList<bool>({true, true, true, true, false, false, false}));
  QCOMPARE(fixture.byteTexts().mid(4), QStringList({"--", "--", "--"}));
  QVERIFY(!fixture.reportIDField()->isEnabled());
  verifyCaptionColors(Qt::gray);
}

void ReportFormTest::evenPositionKeepsShortLayout() {
  fixture.loadAndWake();
  fixture.typeBytes({"de", "ad", "be", "ef"});
  fixture.chooseInterface(2);
  QCOMPARE(fixture.controller()->currentReportSize(), 4);
  QCOMPARE(fixture.byteTexts(),
           QStringList({"de", "ad", "be", "ef", "--", "--", "--"}));
  QVERIFY(!fixture.reportIDField()->isEnabled());
  verifyCaptionColors(Qt::gray);
}

void ReportFormTest::oddPositionTakesLongLayout() {
  fixture.loadAndWake();
  fixture.typeBytes({"de", "ad", "be", "ef"});
  fixture.reportIDField()->setText("zz");
  fixture.chooseInterface(1);
  QCOMPARE(fixture.controller()->currentReportSize(), 7);
  QCOMPARE(fixture.byteEnabled(), QList<bool>(7, true));
  QCOMPARE(fixture.byteTexts(),
           QStringList({"de", "ad", "be", "ef", "00", "00", "00"}));
  QVERIFY(fixture.reportIDField()->isEnabled());
  QCOMPARE(fixture.reportIDField()->text(), QStringLiteral("zz"));
  verifyCaptionColors(Qt::black);

  fixture.chooseInterface(3);
  QCOMPARE(fixture.controller()->currentReportSize(), 7);
  QCOMPARE(fixture.byteTexts(),
           QStringList({"de", "ad", "be", "ef", "00", "00", "00"}));
}

void ReportFormTest::evenPositionAfterOddTakesShortLayout() {
  fixture.loadAndWake();
  fixture.chooseInterface(1);
  fixture.typeBytes({"01", "02", "03", "04", "05", "06", "07"});
  fixture.reportIDField()->setText("0c");
  fixture.chooseInterface(0);
  QCOMPARE(fixture.controller()->currentReportSize(), 4);
  QCOMPARE(fixture.byteEnabled(),
           QList<bool>({true, true, true, true, false, false, false}));
  QCOMPARE(fixture.byteTexts(),
           QStringList({"01", "02", "03", "04", "--", "--", "--"}));
  QVERIFY(!fixture.reportIDField()->isEnabled());
  QCOMPARE(fixture.reportIDField()->text(), QStringLiteral("0c"));
  verifyCaptionColors(Qt::gray);
}

void ReportFormTest::choosingShownInterfaceChangesNothing() {
  fixture.loadAndWake();
  fixture.chooseInterface(1);
  fixture.typeBytes({"01", "02", "03", "04", "05", "06", "07"});
  fixture.chooseInterface(1);
  QCOMPARE(fixture.byteTexts(),
           QStringList({"01", "02", "03", "04", "05", "06", "07"}));
  QCOMPARE(fixture.controller()->currentReportSize(), 7);
}

void ReportFormTest::resetSetsEveryByteInShortLayout() {
  fixture.loadAndWake();
  fixture.typeBytes({"01", "02", "03", "04"});
  fixture.reportIDField()->setText("7f");
  QTest::mouseClick(fixture.widget<QPushButton>("resetButton"), Qt::LeftButton);
  QCOMPARE(fixture.byteTexts(), QStringList(7, "00"));
  QCOMPARE(fixture.byteEnabled(),
           QList<bool>({true, true, true, true, false, false, false}));
  QCOMPARE(fixture.reportIDField()->text(), QStringLiteral("7f"));
  verifyCaptionColors(Qt::gray);
}

void ReportFormTest::resetSetsEveryByteInLongLayout() {
  fixture.loadAndWake();
  fixture.chooseInterface(3);
  fixture.typeBytes({"01", "02", "03", "04", "05", "06", "07"});
  fixture.reportIDField()->setText("04");
  QTest::mouseClick(fixture.widget<QPushButton>("resetButton"), Qt::LeftButton);
  QCOMPARE(fixture.byteTexts(), QStringList(7, "00"));
  QCOMPARE(fixture.byteEnabled(), QList<bool>(7, true));
  QCOMPARE(fixture.reportIDField()->text(), QStringLiteral("04"));
}

// Byte field 105 lost its tag: the first layout, at wake-up, handles field 104
// and stops there, so the rest of the form keeps the resource's state.
void ReportFormTest::missingByteFieldEndsLayoutAtWake() {
  fixture.load();
  fixture.byteField(5)->setProperty(kViewTagProperty, QVariant());
  const QColor resourceColor = textColor(fixture.caption(200));
  QTest::ignoreMessage(QtCriticalMsg, kMissingSubviewMessage);
  fixture.wake();
  QCOMPARE(fixture.controller()->currentReportSize(), 0);
  QCOMPARE(fixture.byteEnabled(),
           QList<bool>({true, true, true, true, false, true, true}));
  QCOMPARE(fixture.byteTexts(),
           QStringList({"00", "00", "00", "00", "--", "00", "00"}));
  QVERIFY(fixture.reportIDField()->isEnabled());
  verifyCaptionColors(resourceColor);

  QTest::ignoreMessage(QtCriticalMsg, kMissingSubviewMessage);
  fixture.chooseInterface(1);
  QCOMPARE(fixture.controller()->currentReportSize(), 0);
  QCOMPARE(fixture.byteField(4)->text(), QStringLiteral("00"));
  QVERIFY(fixture.byteField(4)->isEnabled());
}

// Caption 202 lost its tag: captions 200 and 201 change colour, 203 and the
// report ID field keep their state, and the report size stays.
void ReportFormTest::missingCaptionEndsLayoutChange() {
  fixture.loadAndWake();
  fixture.caption(202)->setProperty(kViewTagProperty, QVariant());
  QTest::ignoreMessage(QtCriticalMsg, kMissingSubviewMessage);
  fixture.chooseInterface(1);
  QCOMPARE(fixture.byteEnabled(), QList<bool>(7, true));
  QCOMPARE(fixture.byteTexts().mid(4), QStringList({"00", "00", "00"}));
  QCOMPARE(textColor(fixture.caption(200)), QColor(Qt::black));
  QCOMPARE(textColor(fixture.caption(201)), QColor(Qt::black));
  QCOMPARE(textColor(fixture.caption(203)), QColor(Qt::gray));
  QVERIFY(!fixture.reportIDField()->isEnabled());
  QCOMPARE(fixture.controller()->currentReportSize(), 4);
}

// The keyboard reaches the inputs in reading order; the short layout's
// disabled inputs are passed over.
void ReportFormTest::tabMovesThroughFormInOrder() {
  fixture.loadAndWake();
  fixture.window()->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(fixture.window()));
  const auto tabOrder = [this] {
    QStringList names;
    fixture.interfacePopup()->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 12; ++i) {
      names << QApplication::focusWidget()->objectName();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    return names;
  };
  QCOMPARE(tabOrder(),
           QStringList({"interfacePopup", "byte0Field", "byte1Field",
                        "byte2Field", "byte3Field", "writeButton", "readButton",
                        "resetButton", "ignoreDuplicatesCheckBox", "macroPopup",
                        "deleteMacroButton", "logTable"}));
  fixture.chooseInterface(1);
  QCOMPARE(tabOrder().mid(0, 10),
           QStringList({"interfacePopup", "reportIDField", "byte0Field",
                        "byte1Field", "byte2Field", "byte3Field", "byte4Field",
                        "byte5Field", "byte6Field", "writeButton"}));
}

QTEST_MAIN(ReportFormTest)
#include "tst_report_form.moc"
