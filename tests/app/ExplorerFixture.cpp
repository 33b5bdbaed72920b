#include "tests/app/ExplorerFixture.h"

#include "app/WindowState.h"
#include "app/capture/CaptureWindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>

void ExplorerFixture::setUp() {
  home_ = std::make_unique<QTemporaryDir>();
  qputenv("HOME", home_->path().toUtf8());
  qputenv("XDG_CONFIG_HOME", (home_->path() + "/.config").toUtf8());
  qputenv("XDG_STATE_HOME", (home_->path() + "/.local/state").toUtf8());
  hid::SetBackend(&backend_);
}

void ExplorerFixture::loadAndWake() {
  QTest::failOnWarning(QRegularExpression("outside a modal scope"));
  watchdog_ = std::make_unique<ModalWatchdog>();
  process_ = std::make_unique<explorer::ExplorerProcess>();
  QVERIFY(QTest::qWaitForWindowExposed(process_->newWindow()));
}

explorer::PinworthWindowController *ExplorerFixture::newWindow() {
  QMainWindow *window = process_->newWindow();
  if (!QTest::qWaitForWindowExposed(window))
    qWarning("the new window was not exposed");
  return process_->controllers().back();
}

hid::sim::DeviceID ExplorerFixture::startWithPinworthA() {
  const hid::sim::DeviceID device =
      backend_.attach(hid::sim::Model::PinworthA, "1000");
  loadAndWake();
  return device;
}

void ExplorerFixture::close() {
  if (watchdog_)
    VerifyModalsClosed(*watchdog_);
  process_.reset();
}

void ExplorerFixture::cleanup() {
  // The capture windows a test opened outlive the process. Collected first:
  // a window takes its menus, top-level too, with it.
  QList<QPointer<QWidget>> opened;
  for (QWidget *window : QApplication::topLevelWidgets())
    if (qobject_cast<explorer::CaptureWindow *>(window))
      opened << window;
  qDeleteAll(opened);
  close();
  QFile::remove(
      explorer::WindowState::StandardFilePath()); // each test starts afresh
  backend_.detachAll();
  QCoreApplication::processEvents();
}

QLineEdit *ExplorerFixture::byteField(int index) const {
  return widget<QLineEdit>(
      QByteArray("byte" + QByteArray::number(index) + "Field").constData());
}

void ExplorerFixture::click(const char *buttonName) {
  clickIn(controller(), buttonName);
}

void ExplorerFixture::clickIn(explorer::PinworthWindowController *window,
                              const char *button) {
  QPushButton *pushButton = widgetIn(window, button);
  QVERIFY2(pushButton, button);
  QTest::mouseClick(pushButton, Qt::LeftButton);
  waitForDevice(window);
}

void ExplorerFixture::waitForDevice(
    explorer::PinworthWindowController *window) {
  QVERIFY(QTest::qWaitFor([window] { return !window->waitsForDevice(); }));
}

int ExplorerFixture::reportRows(explorer::PinworthWindowController *window,
                                const QString &source) {
  explorer::LogTableModel *log = window->logModel();
  int rows = 0;
  for (int i = 0; i < log->reportCount(); ++i)
    rows += log->isReport(i) &&
            log->cellText(i, explorer::LogTableModel::kSourceColumn) == source;
  return rows;
}

QString ExplorerFixture::transferAlert(const char *verb,
                                       const QString &reason) {
  return QStringLiteral("Pinworth Error | An error occured while trying to "
                        "%1 the selected Pinworth device.\n\n%2 | OK")
      .arg(QLatin1String(verb), reason);
}

QStringList ExplorerFixture::titles(const QComboBox *popup) {
  QStringList texts;
  for (int i = 0; i < popup->count(); ++i)
    texts << popup->itemText(i);
  return texts;
}

void ExplorerFixture::choose(QComboBox *popup, int position) {
  popup->setCurrentIndex(position);
  emit popup->activated(position);
}

QStringList ExplorerFixture::byteTexts() const {
  QStringList texts;
  for (int i = 0; i < 7; ++i)
    texts << byteField(i)->text();
  return texts;
}

QList<bool> ExplorerFixture::byteEnabled() const {
  QList<bool> enabled;
  for (int i = 0; i < 7; ++i)
    enabled << byteField(i)->isEnabled();
  return enabled;
}

void ExplorerFixture::setFormTexts(const QString &reportID,
                                   const QStringList &bytes) {
  reportIDField()->setText(reportID);
  for (int i = 0; i < bytes.size(); ++i)
    byteField(i)->setText(bytes[i]);
}

void ExplorerFixture::flushLog() {
  QCoreApplication::processEvents();
  log()->announce();
}

QList<core::ReportRecord> ExplorerFixture::records() const {
  QList<core::ReportRecord> all;
  for (int i = 0; i < log()->reportCount(); ++i)
    if (log()->isReport(i))
      all << log()->record(i);
  return all;
}

QString ExplorerFixture::rowText(int row) const {
  QStringList texts;
  for (int column = 0; column < explorer::LogTableModel::kTimeColumn; ++column)
    texts << log()->data(log()->index(row, column)).toString();
  return texts.join('|');
}

void ExplorerFixture::clickLogRow(int row, Qt::KeyboardModifiers modifiers) {
  const QModelIndex cell = log()->index(row, 0);
  logTable()->scrollTo(cell);
  QTest::mouseClick(logTable()->viewport(), Qt::LeftButton, modifiers,
                    logTable()->visualRect(cell).center());
}

void ExplorerFixture::doubleClickLogRow(int row) {
  clickLogRow(row);
  QTest::mouseDClick(logTable()->viewport(), Qt::LeftButton, {},
                     logTable()->visualRect(log()->index(row, 0)).center());
}
