// The report form: its short and long layouts as the interface menu selects
// them, the reset action, and a window resource that lacks a tagged view.
#include "tests/app/ExplorerFixture.h"

#include "app/framework/ViewWithTag.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTest>

using hid::sim::Model;

class ReportFormTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;

  QWidget *caption(int tag) const {
    return explorer::viewWithTag(fixture.window()->centralWidget(), tag);
  }
  // The colour a caption is drawn in, and the palette's colours for text
  // that applies and text that does not.
  static QColor textColor(const QWidget *label) {
    return label->palette().color(label->isEnabled() ? QPalette::Active
                                                     : QPalette::Disabled,
                                  QPalette::WindowText);
  }
  static QColor paletteText(bool enabled) {
    return QApplication::palette().color(
        enabled ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);
  }
  // The layout, the byte texts, and the report ID text "zz" kept.
  void verifyLayout(bool isLong, const QStringList &bytes) {
    QCOMPARE(fixture.controller()->reportForm().reportSize(), isLong ? 7 : 4);
    QCOMPARE(fixture.byteEnabled(),
             QList<bool>({true, true, true, true, isLong, isLong, isLong}));
    QCOMPARE(fixture.byteTexts(), bytes);
    QCOMPARE(fixture.reportIDField()->isEnabled(), isLong);
    QCOMPARE(fixture.reportIDField()->text(), "zz");
    for (int tag = 200; tag <= 203; ++tag)
      QCOMPARE(textColor(caption(tag)), paletteText(isLong));
  }

private slots:
  void initTestCase() { fixture.setUp(); }
  void init() {
    fixture.backend().attach(Model::PinworthA, "1000");
    fixture.backend().attach(Model::PinworthB, "2000");
    fixture.loadAndWake();
  }
  void cleanup() { fixture.cleanup(); }

  // Fields 4 to 6 show "--" in the short layout (even positions) and "00" on
  // entering the long one; a choice that keeps the layout keeps every text.
  void layoutFollowsThePositionChosen() {
    fixture.setFormTexts("zz", {"de", "ad", "be", "ef"});
    fixture.chooseInterface(2);
    verifyLayout(false, {"de", "ad", "be", "ef", "--", "--", "--"});
    fixture.chooseInterface(1);
    verifyLayout(true, {"de", "ad", "be", "ef", "00", "00", "00"});
    const QStringList typed = {"01", "02", "03", "04", "05", "06", "07"};
    fixture.setFormTexts("zz", typed);
    fixture.chooseInterface(3);
    verifyLayout(true, typed);
    fixture.chooseInterface(0);
    verifyLayout(false, {"01", "02", "03", "04", "--", "--", "--"});
    // Reset sets all seven, also the disabled ones, and nothing else.
    fixture.click("resetButton");
    QCOMPARE(fixture.byteTexts(), QStringList(7, "00"));
    verifyLayout(false, QStringList(7, "00"));
  }

  // Caption 202 lost its tag: the change logs the failure and ends there, so
  // captions 200 and 201 change colour while 203, the report ID field and the
  // report size keep their state.
  void missingTaggedViewEndsLayoutChange() {
    caption(202)->setProperty(explorer::kViewTagProperty, QVariant());
    QTest::ignoreMessage(
        QtCriticalMsg,
        QRegularExpression("PinworthWindowController::interfacePopupChanged, "
                           "ReportForm\\.cpp:\\d+: could't get "
                           "subview for tag$"));
    fixture.chooseInterface(1);
    QCOMPARE(fixture.byteEnabled(), QList<bool>(7, true));
    QCOMPARE(textColor(caption(201)), paletteText(true));
    QCOMPARE(textColor(caption(203)), paletteText(false));
    QVERIFY(!fixture.reportIDField()->isEnabled());
    QCOMPARE(fixture.controller()->reportForm().reportSize(), 4);
  }
};

QTEST_MAIN(ReportFormTest)
#include "tst_report_form.moc"
