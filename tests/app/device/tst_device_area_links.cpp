// The device area built over a target and a log of the test's own, as the
// window's assembly builds it over the controller: what it shows for each
// target, and what its controls send.
#include "app/device/DeviceArea.h"
#include "app/device/WindowLog.h"
#include "app/device/WindowTarget.h"
#include "app/log/LogTableModel.h"
#include "core/interfaces/InterfaceListeners.h"
#include "core/preferences/UserDefaults.h"
#include "core/reports/ReportRecord.h"
#include "core/runs/Sequence.h"
#include "lib/PinworthLib.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

constexpr core::InterfaceIdentity kA0{kPinworthAInterface0, 1000, 0};
constexpr core::InterfaceIdentity kA1{kPinworthAInterface1, 1000, 0};
constexpr core::InterfaceIdentity kB1{kPinworthBInterface1, 2000, 0};

struct Sent {
  std::optional<uint8_t> reportID;
  std::vector<uint8_t> data;
};

// A target whose selection the test sets, which takes every report sent
// and answers from the event loop, as the window's writer does.
class TestTarget final : public explorer::WindowTarget {
public:
  std::optional<core::InterfaceIdentity> target;
  bool unplugged = false;
  std::vector<Sent> sent;
  // Called with each report as it goes out.
  std::function<void()> onSend;

  void select(std::optional<core::InterfaceIdentity> identity,
              bool gone = false) {
    target = identity;
    unplugged = gone;
    emit changed();
  }
  std::optional<core::InterfaceIdentity> selected() const override {
    return unplugged ? std::nullopt : target;
  }
  int selectedPosition() const override { return 0; }
  std::optional<core::InterfaceIdentity> missing() const override {
    return unplugged ? target : std::nullopt;
  }
  bool blocked() const override { return unplugged; }
  bool isListening(const core::InterfaceIdentity &) const override {
    return false;
  }
  void send(std::optional<uint8_t> reportID, const std::vector<uint8_t> &data,
            Done done) override {
    sent.push_back({reportID, data});
    if (onSend)
      onSend();
    QTimer::singleShot(0, this, [done] { done(true); });
  }
};

class TestLog final : public explorer::WindowLog {
public:
  explorer::LogTableModel rows;
  QWidget table;

  void append(const QString &, int, int, const uint8_t *,
              const core::InterfaceIdentity &, hid::ReportTime) override {}
  const explorer::LogTableModel &model() const override { return rows; }
  QWidget &view() const override { return const_cast<QWidget &>(table); }
  QList<int> selectedReports() const override { return {}; }
};

} // namespace

class DeviceAreaLinksTest : public QObject {
  Q_OBJECT

  QTemporaryDir home;
  std::unique_ptr<TestTarget> target;
  std::unique_ptr<TestLog> log;
  std::unique_ptr<core::InterfaceListeners> listeners;
  std::unique_ptr<core::UserDefaults> sequences;
  std::unique_ptr<QMenu> menu;
  std::unique_ptr<QWidget> window;
  explorer::DeviceArea *area = nullptr;

  template <typename Widget> Widget *widget(const char *name) const {
    auto *found = window->findChild<Widget *>(QLatin1String(name));
    if (!found)
      qFatal("no widget %s", name);
    return found;
  }

private slots:
  void init() {
    target = std::make_unique<TestTarget>();
    log = std::make_unique<TestLog>();
    listeners = std::make_unique<core::InterfaceListeners>();
    sequences = std::make_unique<core::UserDefaults>(
        home.filePath("prefs.json"), core::kSequencesKey);
    core::RegisterDefaultSequences(*sequences);
    menu = std::make_unique<QMenu>();
    window = std::make_unique<QWidget>();
    area = new explorer::DeviceArea({*target, *log, *listeners, *sequences},
                                    *menu, window.get(), nullptr);
    window->show();
  }
  void cleanup() {
    window.reset();
    target.reset();
  }

  // The area shows the pin grid of an interface 0, the display panel of an
  // interface 1, and nothing without a target; an unplugged target keeps
  // its panel with the sending controls off.
  void showsThePanelOfTheTargetsInterface() {
    QVERIFY(!area->isVisible());
    target->select(kA0);
    QVERIFY(area->isVisible());
    QVERIFY(widget<QWidget>("pinGrid")->isVisible());
    QVERIFY(!widget<QWidget>("displayPanel")->isVisible());
    target->select(kA1);
    QVERIFY(!widget<QWidget>("pinGrid")->isVisible());
    QVERIFY(widget<QWidget>("displayPanel")->isVisible());
    QVERIFY(widget<QPushButton>("runSequenceButton")->isEnabled());
    target->select(kA1, true);
    QVERIFY(widget<QWidget>("displayPanel")->isVisible());
    QVERIFY(!widget<QPushButton>("runSequenceButton")->isEnabled());
    target->select(std::nullopt);
    QVERIFY(!area->isVisible());
    QAction *shown = menu->actions().value(0);
    QVERIFY(shown && shown->isChecked());
    target->select(kA0);
    shown->setChecked(false);
    QVERIFY(!area->isVisible());
  }

  // A pin toggles its latch from what the log last wrote to the target;
  // an unplugged target gets nothing.
  void aPinClickSendsTheLatchesFromTheLog() {
    target->select(kA0);
    const uint8_t latches[] = {0x0F, 0xFF, 0xFF, 0x00};
    emit log->reportLogged(core::kReportDirectionOut, core::kNoReportID, 4,
                           latches, kA0);
    widget<QToolButton>("pin9Button")->click();
    QCOMPARE(target->sent.size(), 1u);
    QVERIFY(!target->sent[0].reportID);
    QCOMPARE(target->sent[0].data, (std::vector<uint8_t>{0x0F, 0xFD, 0xFF, 0}));
    target->select(kA0, true);
    widget<QToolButton>("pin9Button")->click();
    QCOMPARE(target->sent.size(), 1u);
  }

  // A sequence runs on the target Run found, each step's report padded to
  // its size; it stops at the first step after the target changed, naming
  // the step and why.
  void aSequenceStopsWhenTheTargetChanges() {
    target->select(kA1);
    auto *progress = widget<QLabel>("sequenceProgressLabel");
    widget<QPushButton>("runSequenceButton")->click();
    QTRY_VERIFY(progress->text().contains("ran: all 5 steps sent"));
    QCOMPARE(target->sent.size(), 5u);
    for (const Sent &report : target->sent) {
      QVERIFY(report.reportID);
      QCOMPARE(report.data.size(), 7u);
    }
    target->sent.clear();
    target->onSend = [this] {
      if (target->sent.size() == 2)
        target->select(kB1);
    };
    target->select(kA1);
    widget<QPushButton>("runSequenceButton")->click();
    QTRY_VERIFY(progress->text().contains("failed at step 3 of 5"));
    QVERIFY2(progress->text().endsWith(": the window's target changed."),
             qPrintable(progress->text()));
    QCOMPARE(target->sent.size(), 2u);
  }
};

QTEST_MAIN(DeviceAreaLinksTest)
#include "tst_device_area_links.moc"
