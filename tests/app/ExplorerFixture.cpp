#include "ExplorerFixture.h"

#include "ViewWithTag.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QTest>

void ExplorerFixture::setUp() {
  home_ = std::make_unique<QTemporaryDir>();
  qputenv("HOME", home_->path().toUtf8());
  qputenv("XDG_CONFIG_HOME", (home_->path() + "/.config").toUtf8());
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

QPushButton *ExplorerFixture::button(const char *name) const {
  return widget<QPushButton>(name);
}

QComboBox *ExplorerFixture::macroPopup() const {
  return widget<QComboBox>("macroPopup");
}

void ExplorerFixture::click(const char *buttonName) {
  QPushButton *pushButton = button(buttonName);
  QVERIFY2(pushButton, buttonName);
  QTest::mouseClick(pushButton, Qt::LeftButton);
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

QStringList ExplorerFixture::macroTitles() const {
  QStringList titles;
  for (int i = 0; i < macroPopup()->count(); ++i)
    titles << macroPopup()->itemText(i);
  return titles;
}

void ExplorerFixture::chooseMacro(int position) {
  macroPopup()->setCurrentIndex(position);
  emit macroPopup()->activated(position);
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

QStringList ExplorerFixture::rowTexts(int row) const {
  QStringList texts;
  const LogTableModel *model = log();
  for (int column = 0; column < model->columnCount(); ++column)
    texts << model->data(model->index(row, column)).toString();
  return texts;
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
