#include "PinworthWindowController.h"

#include "ViewWithTag.h"

#include "PinworthLib.h"

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPalette>
#include <QPushButton>
#include <QTableView>
#include <QtGlobal>

PinworthWindowController *gWindowController = nullptr;

namespace {

constexpr int kFirstByteFieldTag = 100;
constexpr int kFirstCaptionTag = 200;
constexpr int kLastCaptionTag = 203;
// Byte fields 100 to 103 serve both layouts; 104 to 106 the long one only.
constexpr int kShortReportSize = 4;
constexpr int kLongReportSize = 7;

const QString kNoInterfacePlaceholder =
    QStringLiteral("No Pinworth device attached");

// A broken window resource: a tagged view the layout needs is missing.
void reportMissingSubview(const char *method, int line) {
  qCritical("*** Assertion failure in PinworthWindowController::%s, "
            "PinworthWindowController.cpp:%d: could't get subview for tag",
            method, line);
}

void setTextColor(QWidget *label, const QColor &color) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, color);
  label->setPalette(palette);
}

} // namespace

void PinworthCallback(void *) {
  if (gWindowController)
    gWindowController->populateInterfacePopup();
}

PinworthWindowController::PinworthWindowController(
    const PinworthWindowOutlets &outlets)
    : logTable(outlets.logTable), window(outlets.window),
      interfacePopup(outlets.interfacePopup), macroPopup(outlets.macroPopup),
      reportIDField(outlets.reportIDField),
      ignoreDuplicatesCheckBox(outlets.ignoreDuplicatesCheckBox),
      readButton(outlets.readButton), addMacroButton(outlets.addMacroButton) {}

PinworthWindowController::~PinworthWindowController() {
  stopReading();
  if (gWindowController == this) {
    PinworthSetDeviceCallback(nullptr, nullptr);
    gWindowController = nullptr;
  }
  logTable->setModel(nullptr);
}

void PinworthWindowController::initialize() {}

void PinworthWindowController::awakeFromNib() {
  gWindowController = this;
  PinworthInit();
  PinworthIsPresent();
  PinworthSetDeviceCallback(PinworthCallback, nullptr);
  isReading = false;
  ignoreDuplicates = true;
  populateInterfacePopup();
  interfacePopupChanged(this);
  tableViewSelectionDidChange();
  createLog();
  connect(logTable, &QTableView::doubleClicked, this,
          &PinworthWindowController::logTableDoubleClicked);
  updateMacroPopup();
  ignoreDuplicatesCheckBox->setChecked(ignoreDuplicates);
}

// Makes the empty log the table's data source; the table then reports its
// selection changes here, and scrolls to the newest row after appends.
void PinworthWindowController::createLog() {
  logEntries = std::make_unique<LogTableModel>();
  logTable->setModel(logEntries.get());
  connect(logTable->selectionModel(), &QItemSelectionModel::selectionChanged,
          this, &PinworthWindowController::tableViewSelectionDidChange);
  connect(logEntries.get(), &LogTableModel::rowsInserted, logTable,
          &QTableView::scrollToBottom);
}

// An empty menu says why it is empty. A filled one has no placeholder, so
// that the menu shows its first item.
void PinworthWindowController::populateInterfacePopup() {
  interfacePopup->clear();
  const int count = PinworthCountInterfaces();
  interfacePopup->setPlaceholderText(count > 0 ? QString()
                                               : kNoInterfacePlaceholder);
  for (int i = 0; i < count; ++i) {
    const PinworthListNode *node = PinworthInterfaceListNodeAtIndex(i);
    if (!node)
      break;
    interfacePopup->addItem(
        QStringLiteral("%1 (SN %2)")
            .arg(nameForPinworthInterfaceType(node->interfaceType))
            .arg(node->serialNumber));
  }
}

QString PinworthWindowController::nameForPinworthInterfaceType(
    int interfaceType) const {
  switch (interfaceType) {
  case kPinworthAInterface0:
    return QStringLiteral("PinworthA Interface 0");
  case kPinworthAInterface1:
    return QStringLiteral("PinworthA Interface 1");
  case kPinworthBInterface0:
    return QStringLiteral("PinworthB Interface 0");
  case kPinworthBInterface1:
    return QStringLiteral("PinworthB Interface 1");
  default:
    return QStringLiteral("Unknown interface type");
  }
}

void PinworthWindowController::doWrite(QObject *) {}

void PinworthWindowController::doRead(QObject *) {
  if (isReading)
    stopReading();
  else
    startReading();
}

void PinworthWindowController::stopReading() {
  readButton->setText(QStringLiteral("Read"));
  readTimer.reset();
  isReading = false;
}

void PinworthWindowController::startReading() {}

void PinworthWindowController::read(hid::DefaultModeTimer *) {}

QWidget *PinworthWindowController::contentView() const {
  return window->centralWidget();
}

QLineEdit *PinworthWindowController::byteFieldWithTag(int tag) const {
  return qobject_cast<QLineEdit *>(viewWithTag(contentView(), tag));
}

void PinworthWindowController::interfacePopupChanged(QObject *) {
  const int position = interfacePopup->currentIndex();
  const int32_t newSize =
      position % 2 == 1 ? kLongReportSize : kShortReportSize;
  if (newSize == reportSize)
    return;
  const bool isLong = newSize != kShortReportSize;
  for (int tag = kFirstByteFieldTag + kShortReportSize;
       tag < kFirstByteFieldTag + kLongReportSize; ++tag) {
    QLineEdit *field = byteFieldWithTag(tag);
    if (!field) {
      reportMissingSubview("interfacePopupChanged", __LINE__);
      return;
    }
    field->setEnabled(isLong);
    field->setText(isLong ? QStringLiteral("00") : QStringLiteral("--"));
  }
  for (int tag = kFirstCaptionTag; tag <= kLastCaptionTag; ++tag) {
    QWidget *caption = viewWithTag(contentView(), tag);
    if (!caption) {
      reportMissingSubview("interfacePopupChanged", __LINE__);
      return;
    }
    setTextColor(caption, isLong ? QColor(Qt::black) : QColor(Qt::gray));
  }
  reportIDField->setEnabled(isLong);
  reportSize = newSize;
}

void PinworthWindowController::resetReportValues(QObject *) {
  for (int i = 0; i < kLongReportSize; ++i) {
    if (QLineEdit *field = byteFieldWithTag(kFirstByteFieldTag + i))
      field->setText(QStringLiteral("00"));
  }
}

ReportRecord PinworthWindowController::logEntryWithDirection(
    const QString &inDirection, int inReportID, int inSize,
    const uint8_t *inData, const QString &inName) {
  return ReportRecord{
      inDirection, inReportID,
      QByteArray(reinterpret_cast<const char *>(inData), inSize), inName};
}

void PinworthWindowController::addLogEntryWithDirection(
    const QString &inDirection, int inReportID, int inSize,
    const uint8_t *inData) {
  logEntries->append(inDirection == kReportDirectionOut, inReportID, inSize,
                     inData);
}

int PinworthWindowController::selectedLogRow() const {
  const QItemSelectionModel *selection = logTable->selectionModel();
  if (!selection)
    return -1;
  const QModelIndexList rows = selection->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void PinworthWindowController::logTableDoubleClicked() {
  const int row = selectedLogRow();
  if (row == -1)
    return;
  updateInterfaceFromLogEntry(logEntries->record(row));
}

void PinworthWindowController::updateInterfaceFromLogEntry(
    const ReportRecord &inLogEntry) {
  if (inLogEntry.direction != kReportDirectionOut)
    return;
  const bool hasReportID = inLogEntry.reportID != kNoReportID;
  if (hasReportID)
    reportIDField->setText(QString::asprintf("%02x", inLogEntry.reportID));
  const int fields = hasReportID ? kLongReportSize : kShortReportSize;
  for (int i = 0; i < fields && i < inLogEntry.data.size(); ++i) {
    if (QLineEdit *field = byteFieldWithTag(kFirstByteFieldTag + i))
      field->setText(
          QString::asprintf("%02x", static_cast<uint8_t>(inLogEntry.data[i])));
  }
}

void PinworthWindowController::setLastValueRead(
    const std::optional<QByteArray> &inData) {
  lastValueRead = inData;
}

void PinworthWindowController::clearLogEntries(QObject *) {
  logEntries->clear();
  tableViewSelectionDidChange();
}

void PinworthWindowController::macroPopupChanged(QObject *) {}

void PinworthWindowController::addMacro(QObject *) {}

void PinworthWindowController::deleteMacro(QObject *) {}

void PinworthWindowController::updateMacroPopup() {}

void PinworthWindowController::duplicateCheckboxClicked(QObject *) {
  ignoreDuplicates = ignoreDuplicatesCheckBox->isChecked();
}

void PinworthWindowController::tableViewSelectionDidChange() {
  addMacroButton->setEnabled(selectedLogRow() != -1);
}
