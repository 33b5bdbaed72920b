#include "ExplorerFixture.h"

#include "ViewWithTag.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QStandardPaths>
#include <QTest>

void ExplorerFixture::setUp() {
  home_ = std::make_unique<QTemporaryDir>();
  qputenv("XDG_CONFIG_HOME", home_->path().toUtf8());
  QStandardPaths::setTestModeEnabled(true);
  hid::SetBackend(&backend_);
}

void ExplorerFixture::detachAllDevices() {
  backend_.detachAll();
  QCoreApplication::processEvents();
}

void ExplorerFixture::load() {
  resource_ = std::make_unique<MainWindowResource>();
}

void ExplorerFixture::wake() {
  controller()->awakeFromNib();
  window()->show();
  QVERIFY(QTest::qWaitForWindowExposed(window()));
}

void ExplorerFixture::close() {
  resource_.reset();
}

QComboBox *ExplorerFixture::interfacePopup() const {
  return widget<QComboBox>("interfacePopup");
}

QLineEdit *ExplorerFixture::reportIDField() const {
  return widget<QLineEdit>("reportIDField");
}

QLineEdit *ExplorerFixture::byteField(int index) const {
  return widget<QLineEdit>(QByteArray("byte") + QByteArray::number(index) +
                           "Field");
}

QLabel *ExplorerFixture::caption(int tag) const {
  return qobject_cast<QLabel *>(viewWithTag(window()->centralWidget(), tag));
}

QTableView *ExplorerFixture::logTable() const {
  return widget<QTableView>("logTable");
}

QPushButton *ExplorerFixture::addMacroButton() const {
  return widget<QPushButton>("addMacroButton");
}

QStringList ExplorerFixture::interfaceTitles() const {
  QStringList titles;
  for (int i = 0; i < interfacePopup()->count(); ++i)
    titles << interfacePopup()->itemText(i);
  return titles;
}

void ExplorerFixture::chooseInterface(int position) {
  interfacePopup()->setCurrentIndex(position);
  emit interfacePopup()->activated(position);
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

void ExplorerFixture::typeBytes(const QStringList &texts) {
  for (int i = 0; i < texts.size(); ++i) {
    QLineEdit *field = byteField(i);
    field->selectAll();
    QTest::keyClicks(field, texts[i]);
  }
}

void ExplorerFixture::flushLog() {
  QCoreApplication::processEvents();
}

namespace {

QPoint cellCentre(QTableView *table, int row) {
  return table->visualRect(table->model()->index(row, 0)).center();
}

} // namespace

void ExplorerFixture::clickLogRow(int row) {
  logTable()->scrollTo(logTable()->model()->index(row, 0));
  QTest::mouseClick(logTable()->viewport(), Qt::LeftButton, {},
                    cellCentre(logTable(), row));
}

void ExplorerFixture::doubleClickLogRow(int row) {
  clickLogRow(row);
  QTest::mouseDClick(logTable()->viewport(), Qt::LeftButton, {},
                     cellCentre(logTable(), row));
}
