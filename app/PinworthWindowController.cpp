#include "app/PinworthWindowController.h"

#include "app/InterfaceInfoWindow.h"
#include "app/MacroEntry.h"
#include "app/PermissionHelp.h"
#include "app/WindowState.h"
#include "app/framework/AlertPanel.h"
#include "app/framework/MacroNamePanelController.h"
#include "app/framework/UserDefaults.h"
#include "app/framework/ViewWithTag.h"
#include "app/log/LogPanel.h"
#include "app/log/LogView.h"
#include "core/DefaultMacros.h"
#include "core/HexScanner.h"

#include "lib/PinworthLib.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPalette>
#include <QPushButton>
#include <QStatusBar>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <vector>

PinworthWindowController *gWindowController = nullptr;

namespace {

constexpr int kFirstByteFieldTag = 100;
constexpr int kFirstCaptionTag = 200;
constexpr int kLastCaptionTag = 203;
// The data bytes of a report in each layout of the form (the values of
// reportSize). Byte fields 100 to 103 serve both layouts; 104 to 106 the long
// one only.
constexpr int kShortLayoutDataBytes = 4;
constexpr int kLongLayoutDataBytes = 7;

constexpr int kPollPeriodMS = 50;
// How often the status bar's figures are brought up to date, and how long a
// message (a paste refused, a macro that does not fit) stays.
constexpr int kStatusRefreshMS = 250;
constexpr int kMessageShownMS = 8000;
// A poll asks for this report ID.
constexpr int kPolledReportID = 0;

const QString kReadTitle = QStringLiteral("Read");
const QString kStopReadingTitle = QStringLiteral("Stop Reading");

const QString kPinworthErrorTitle = QStringLiteral("Pinworth Error");
const QString kHexRangeMessage =
    QStringLiteral("Please only use hex values between 00 and FF.");

const QString kNoInterfacePlaceholder =
    QStringLiteral("No Pinworth device attached");

// A broken window resource: a tagged view the layout needs is missing.
void reportMissingSubview(const char *method, int line) {
  qCritical("*** Assertion failure in PinworthWindowController::%s, "
            "PinworthWindowController.cpp:%d: could't get subview for tag",
            method, line);
}

// Interface 0 of either model is polled; interface 1 delivers interrupts.
bool isPolledInterface(int interfaceType) {
  return interfaceType == kPinworthAInterface0 ||
         interfaceType == kPinworthBInterface0;
}

} // namespace

void PinworthCallback(void *) {
  if (gWindowController)
    gWindowController->populateInterfacePopup();
}

void reportHandlerCallback(void *target, hid::Status result, void *refcon,
                           void *sender, uint32_t bufferSize) {
  auto *controller = static_cast<PinworthWindowController *>(refcon);
  if (result == hid::kErrorOverrun && controller) {
    controller->logLostReports(sender, bufferSize);
    return;
  }
  if (result != hid::kSuccess || bufferSize == 0 || !refcon)
    return;
  const auto *report = static_cast<const uint8_t *>(target);
  const int size = static_cast<int>(bufferSize);
  const InterfaceIdentity *source =
      controller->armedInterfaces.sourceOf(sender);
  if (source)
    ++controller->interruptReports[*source];
  controller->addLogEntryWithDirection(
      kReportDirectionIn, report[0], size - 1, report + 1,
      source ? std::optional(*source) : std::nullopt);
  controller->setLastValueRead(
      QByteArray(reinterpret_cast<const char *>(report), size));
}

PinworthWindowController::PinworthWindowController(
    const PinworthWindowOutlets &outlets)
    : logTable(outlets.logTable), window(outlets.window),
      interfacePopup(outlets.interfacePopup), macroPopup(outlets.macroPopup),
      reportIDField(outlets.reportIDField),
      ignoreDuplicatesCheckBox(outlets.ignoreDuplicatesCheckBox),
      readButton(outlets.readButton), addMacroButton(outlets.addMacroButton),
      logFilterField(outlets.logFilterField),
      exportButton(outlets.exportButton) {
  connect(&readTimer, &runloop::DefaultModeTimer::timeout, this,
          [this] { read(&readTimer); });
}

PinworthWindowController::~PinworthWindowController() {
  if (logEntries)
    WindowState::Save(window, logTable->horizontalHeader(),
                      selectedInterface());
  stopReading();
  if (gWindowController == this) {
    PinworthSetDeviceCallback(nullptr, nullptr);
    gWindowController = nullptr;
  }
  logTable->setModel(nullptr);
}

void PinworthWindowController::initialize() {
  QList<QByteArray> defaultMacros;
  for (const DefaultMacro &macro : kDefaultMacroTable)
    defaultMacros.append(
        MacroEntry(logEntryWithDirection(kReportDirectionOut, macro.reportID,
                                         kDefaultMacroDataBytes,
                                         macro.data.data(),
                                         QString::fromLatin1(macro.name)))
            .text());
  MacroDefaults().registerDefaults(defaultMacros);
}

void PinworthWindowController::awakeFromNib() {
  gWindowController = this;
  createFormAndStatus();
  restoredSelection = WindowState::SelectedInterface();
  PinworthInit();
  PinworthIsPresent();
  PinworthSetDeviceCallback(PinworthCallback, nullptr);
  isReading = false;
  ignoreDuplicates = true;
  populateInterfacePopup();
  tableViewSelectionDidChange();
  createLog();
  WindowState::Restore(window, logTable->horizontalHeader());
  connect(logTable, &LogView::doubleClicked, this,
          &PinworthWindowController::logTableDoubleClicked);
  updateMacroPopup();
  connect(&MacroDefaults(), &UserDefaults::changedOnDisk, this,
          &PinworthWindowController::macrosChangedOnDisk);
  ignoreDuplicatesCheckBox->setChecked(ignoreDuplicates);
  updateStatus();
}

// The form's fields as the keyboard and clipboard meet them, and the status
// bar: what the explorer is doing on the left, the log's rows on the right.
void PinworthWindowController::createFormAndStatus() {
  QList<QLineEdit *> fields{reportIDField};
  for (int i = 0; i < kLongLayoutDataBytes; ++i)
    if (QLineEdit *field = byteFieldWithTag(kFirstByteFieldTag + i))
      fields.append(field);
  formFields = std::make_unique<ReportFormFields>(fields);
  connect(formFields.get(), &ReportFormFields::writeRequested, this,
          [this] { doWrite(this); });
  connect(formFields.get(), &ReportFormFields::message, this,
          [this](const QString &text) {
            window->statusBar()->showMessage(text, kMessageShownMS);
          });
  activityLabel = new QLabel(window);
  activityLabel->setObjectName(QStringLiteral("activityLabel"));
  rowsLabel = new QLabel(window);
  rowsLabel->setObjectName(QStringLiteral("rowsLabel"));
  reportCheckLabel = new QLabel(window);
  reportCheckLabel->setObjectName(QStringLiteral("reportCheckLabel"));
  reportCheckLabel->setToolTip(
      QStringLiteral("The report in the form is not an output report that "
                     "the interface's report descriptor declares (see "
                     "Interface Info). Write sends it all the same."));
  reportCheckLabel->hide();
  window->statusBar()->addWidget(activityLabel, 1);
  window->statusBar()->addPermanentWidget(reportCheckLabel);
  window->statusBar()->addPermanentWidget(rowsLabel);
  connect(formFields.get(), &ReportFormFields::edited, this,
          &PinworthWindowController::updateReportCheck);
  permissionHelp = new PermissionHelp(contentView());
  if (auto *layout = qobject_cast<QBoxLayout *>(contentView()->layout()))
    layout->insertWidget(0, permissionHelp);
  statusTimer.setInterval(kStatusRefreshMS);
  connect(&statusTimer, &QTimer::timeout, this,
          &PinworthWindowController::updateStatus);
  statusTimer.start();
  clock.start();
}

// Makes the empty log the table's data source, with the tools around it; the
// table then reports its selection changes here.
void PinworthWindowController::createLog() {
  logEntries = std::make_unique<LogTableModel>();
  logTable->setModel(logEntries.get());
  connect(logTable->selectionModel(), &QItemSelectionModel::selectionChanged,
          this, &PinworthWindowController::tableViewSelectionDidChange);
  logTools = std::make_unique<LogPanel>(logTable, logEntries.get(),
                                        logFilterField, exportButton, window);
  logTools->arrangeDefaultColumns();
  connect(logTools.get(), &LogPanel::message, this,
          [this](const QString &text) {
            window->statusBar()->showMessage(text, kMessageShownMS);
          });
}

// An empty menu says why it is empty. A filled one has no placeholder. The
// count rebuilds a list that a device change left dirty, and the armed
// handles, which the list no longer holds, are let go then; the interfaces
// they stood for are armed again through their new handles.
void PinworthWindowController::populateInterfacePopup() {
  const std::optional<InterfaceIdentity> selected =
      interfacePopup->currentIndex() >= 0 ? selectedInterface()
                                          : restoredSelection;
  restoredSelection.reset();
  const QList<InterfaceIdentity> armed = armedInterfaces.sources();
  interfacePopup->clear();
  const int count = PinworthCountInterfaces();
  armedInterfaces.disarmAll();
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
  permissionHelp->showFor(DevicesRefusingAccess());
  const int position = selected ? PositionOfIdentity(*selected) : -1;
  if (position >= 0)
    interfacePopup->setCurrentIndex(position);
  else if (isReading)
    stopReading();
  interfacePopupChanged(this);
  for (const InterfaceIdentity &identity : armed)
    if (const int at = PositionOfIdentity(identity); at >= 0)
      armInterface(at, identity);
  updateStatus();
}

std::optional<InterfaceIdentity>
PinworthWindowController::selectedInterface() const {
  return IdentityAtPosition(interfacePopup->currentIndex());
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

void PinworthWindowController::alert(const QString &title,
                                     const QString &message,
                                     const QString &reason) {
  RunAlertPanel(window, title, message, reason);
}

// Checks for a device, parses the byte fields in use and then, in the long
// layout, the report ID field; sends the report and logs it. Every failure
// ends in one alert, or silently when no interface is at the selected
// position; nothing is logged then.
void PinworthWindowController::doWrite(QObject *) {
  if (!PinworthIsPresent()) {
    alert(QStringLiteral("Pinworth not found"),
          QStringLiteral("There is no Pinworth device attached to you mac."));
    return;
  }
  std::vector<uint8_t> data(std::max(reportSize, 0));
  for (int i = 0; i < reportSize; ++i) {
    QLineEdit *field = byteFieldWithTag(kFirstByteFieldTag + i);
    const std::optional<uint8_t> value =
        field ? ParseHexByte(field->text()) : std::nullopt;
    if (!value) {
      alert(QStringLiteral("Invalid data format"), kHexRangeMessage);
      if (field)
        ReportFormFields::focus(field);
      return;
    }
    data[i] = *value;
  }
  const PinworthListNode *node =
      PinworthInterfaceListNodeAtIndex(interfacePopup->currentIndex());
  if (!node)
    return;
  int reportID = kNoReportID;
  int32_t status = hid::kSuccess;
  switch (reportSize) {
  case kShortLayoutDataBytes:
    status = PinworthWriteToInterface(node->pinworthHIDInterface,
                                      kShortLayoutDataBytes, data.data());
    break;
  case kLongLayoutDataBytes: {
    const std::optional<uint8_t> parsedID = ParseHexByte(reportIDField->text());
    if (!parsedID) {
      alert(QStringLiteral("Invalid report id number format"),
            kHexRangeMessage);
      ReportFormFields::focus(reportIDField);
      return;
    }
    reportID = *parsedID;
    std::array<uint8_t, kLongLayoutDataBytes + 1> report;
    report[0] = *parsedID;
    std::copy(data.begin(), data.end(), report.begin() + 1);
    status = PinworthWriteToInterface(node->pinworthHIDInterface,
                                      static_cast<int>(report.size()),
                                      report.data());
    break;
  }
  default:
    qWarning("Unhandled report size");
    return;
  }
  if (status != hid::kSuccess) {
    alert(kPinworthErrorTitle,
          QStringLiteral("An error occured while trying to write to the "
                         "selected Pinworth device."),
          hid::StatusString(status));
    return;
  }
  addLogEntryWithDirection(kReportDirectionOut, reportID, reportSize,
                           data.data(), selectedInterface());
}

void PinworthWindowController::doRead(QObject *) {
  if (isReading)
    stopReading();
  else
    startReading();
}

void PinworthWindowController::stopReading() {
  readButton->setText(kReadTitle);
  readTimer.stop();
  isReading = false;
  recentPolls.clear();
  updateStatus();
}

void PinworthWindowController::startReading() {
  const PinworthListNode *node =
      PinworthInterfaceListNodeAtIndex(interfacePopup->currentIndex());
  if (!node)
    return;
  if (isPolledInterface(node->interfaceType)) {
    startPolling();
  } else {
    armInterface(interfacePopup->currentIndex(), *selectedInterface());
    updateStatus();
  }
}

// Polls once at once, then every 50 ms. A first poll that fails has already
// stopped polling, and no timer is started then.
void PinworthWindowController::startPolling() {
  setLastValueRead(std::nullopt);
  readButton->setText(kStopReadingTitle);
  isReading = true;
  read(nullptr);
  if (isReading)
    readTimer.start(kPollPeriodMS);
}

// Arming the same handle again replaces its handler and reuses its buffer.
void PinworthWindowController::armInterface(int position,
                                            const InterfaceIdentity &identity) {
  const int32_t status = armedInterfaces.arm(
      PinworthInterfaceListNodeAtIndex(position)->pinworthHIDInterface,
      identity);
  if (status == hid::kSuccess) {
    if (armFailure && armFailure->first == identity)
      armFailure.reset();
  } else {
    armFailure.emplace(identity, hid::StatusString(status));
  }
}

// The log never pretends to be complete: a row marks the gap.
void PinworthWindowController::logLostReports(const void *sender,
                                              uint32_t count) {
  const InterfaceIdentity *source = armedInterfaces.sourceOf(sender);
  if (source)
    lostReports[*source] += count;
  logEntries->appendLoss(count, source ? std::optional(*source) : std::nullopt);
}

void PinworthWindowController::read(runloop::DefaultModeTimer *) {
  const PinworthListNode *node =
      PinworthInterfaceListNodeAtIndex(interfacePopup->currentIndex());
  if (!node || !isPolledInterface(node->interfaceType))
    return;
  std::vector<uint8_t> report(std::max(reportSize, 0));
  const int32_t status = PinworthReadFromInterface(
      node->pinworthHIDInterface, kPolledReportID, reportSize, report.data());
  if (status != hid::kSuccess) {
    alert(kPinworthErrorTitle,
          QStringLiteral("An error occured while trying to read from the "
                         "selected Pinworth device."),
          hid::StatusString(status));
    doRead(this);
    return;
  }
  recentPolls.push_back(clock.elapsed());
  const QByteArray value(reinterpret_cast<const char *>(report.data()),
                         reportSize);
  if (ignoreDuplicates && lastValueRead == value)
    return;
  addLogEntryWithDirection(kReportDirectionIn, kNoReportID, reportSize,
                           report.data(), selectedInterface());
  setLastValueRead(value);
}

QWidget *PinworthWindowController::contentView() const {
  return window->centralWidget();
}

QLineEdit *PinworthWindowController::byteFieldWithTag(int tag) const {
  return qobject_cast<QLineEdit *>(viewWithTag(contentView(), tag));
}

void PinworthWindowController::interfacePopupChanged(QObject *) {
  layOutForm();
  refreshSelectedInfo();
  updateStatus();
}

void PinworthWindowController::refreshSelectedInfo() {
  const PinworthListNode *node =
      PinworthInterfaceListNodeAtIndex(interfacePopup->currentIndex());
  selectedInfo.reset();
  if (node)
    selectedInfo = ReadInterfaceInfo(*node->pinworthHIDInterface);
  if (infoWindow && infoWindow->isVisible())
    fillInfoWindow();
  updateReportCheck();
}

void PinworthWindowController::fillInfoWindow() {
  const std::optional<InterfaceIdentity> identity = selectedInterface();
  if (selectedInfo && identity)
    infoWindow->showInfo(identity->displayName(), *selectedInfo);
  else
    infoWindow->showNoInterface();
}

void PinworthWindowController::showInterfaceInfo(QObject *) {
  if (!infoWindow)
    infoWindow = std::make_unique<InterfaceInfoWindow>(window);
  fillInfoWindow();
  infoWindow->show();
  infoWindow->raise();
  infoWindow->activateWindow();
}

void PinworthWindowController::updateReportCheck() {
  std::optional<QString> mismatch;
  if (selectedInfo) {
    std::optional<uint8_t> reportID;
    if (reportSize == kLongLayoutDataBytes)
      reportID = ParseHexByte(reportIDField->text());
    if (reportSize != kLongLayoutDataBytes || reportID)
      mismatch = ReportMismatch(*selectedInfo, reportID, reportSize);
  }
  reportCheckLabel->setText(mismatch.value_or(QString()));
  reportCheckLabel->setVisible(mismatch.has_value());
}

void PinworthWindowController::layOutForm() {
  const int position = interfacePopup->currentIndex();
  const int32_t newSize =
      position % 2 == 1 ? kLongLayoutDataBytes : kShortLayoutDataBytes;
  if (newSize == reportSize)
    return;
  const bool isLong = newSize != kShortLayoutDataBytes;
  for (int tag = kFirstByteFieldTag + kShortLayoutDataBytes;
       tag < kFirstByteFieldTag + kLongLayoutDataBytes; ++tag) {
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
    caption->setEnabled(isLong); // drawn in the palette's text colours
  }
  reportIDField->setEnabled(isLong);
  reportSize = newSize;
  formFields->refreshMarks();
}

void PinworthWindowController::resetReportValues(QObject *) {
  for (int i = 0; i < kLongLayoutDataBytes; ++i) {
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
  addLogEntryWithDirection(inDirection, inReportID, inSize, inData,
                           std::nullopt);
}

void PinworthWindowController::addLogEntryWithDirection(
    const QString &inDirection, int inReportID, int inSize,
    const uint8_t *inData, const std::optional<InterfaceIdentity> &source) {
  logEntries->append(inDirection == kReportDirectionOut, inReportID, inSize,
                     inData, source);
}

int PinworthWindowController::selectedLogRow() const {
  const QItemSelectionModel *selection = logTable->selectionModel();
  if (!selection || !selection->hasSelection())
    return -1;
  const int current = logTable->currentIndex().row();
  const QModelIndexList rows = selection->selectedRows();
  const int row = current >= 0 && selection->isRowSelected(current)
                      ? current
                      : rows.value(0).row();
  return row < 0 ? -1 : logEntries->reportAtRow(row);
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
  const int fields = hasReportID ? kLongLayoutDataBytes : kShortLayoutDataBytes;
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

// An element that is not a usable record loads nothing. When the stored list
// changed since the menu was built, the menu shows the new list instead and
// nothing is loaded: an item stands for the macro it shows, or none.
void PinworthWindowController::macroPopupChanged(QObject *) {
  const int index = macroPopup->currentIndex();
  if (MacroDefaults().list().generation != shownMacros.generation) {
    updateMacroPopup();
    return;
  }
  if (index < 0 || index >= shownMacros.entries.size())
    return;
  if (const std::optional<ReportRecord> &macro =
          shownMacros.entries[index].record()) {
    updateInterfaceFromLogEntry(*macro);
    checkMacroFitsTheForm(*macro);
  }
}

// A report with an ID and 7 bytes is an interface 1's; one without an ID
// and 4 bytes an interface 0's. Nothing is sent before Write either way.
void PinworthWindowController::checkMacroFitsTheForm(
    const ReportRecord &macro) {
  const bool hasID = macro.reportID != kNoReportID;
  const int bytes = int(macro.data.size());
  if (hasID == (reportSize == kLongLayoutDataBytes) && bytes == reportSize)
    return;
  const std::optional<InterfaceIdentity> target = selectedInterface();
  window->statusBar()->showMessage(
      QStringLiteral("\"%1\" holds %2%3 data bytes, but %4 takes %5%6: choose "
                     "the interface it is for before Write")
          .arg(macro.name, hasID ? "a report ID and " : "")
          .arg(bytes)
          .arg(target ? target->displayName() : QStringLiteral("the form"),
               reportSize == kLongLayoutDataBytes ? "a report ID and " : "")
          .arg(reportSize),
      kMessageShownMS);
}

namespace {

QList<QByteArray> TextsOf(const UserDefaults::List &list) {
  QList<QByteArray> texts;
  texts.reserve(list.elements.size() + 1);
  for (const UserDefaults::Element &element : list.elements)
    texts.append(element.text);
  return texts;
}

} // namespace

// Stores the selected written report under a name the user chooses. The list
// is read after the name, under the preferences lock, so that neither the
// panel nor another explorer makes it work on an old copy.
void PinworthWindowController::addMacro(QObject *) {
  const int row = selectedLogRow();
  if (row == -1)
    return;
  ReportRecord newMacro = logEntries->record(row);
  if (newMacro.direction != kReportDirectionOut)
    return;
  const std::optional<QString> name =
      MacroNamePanelController::chooseMacroName(window);
  if (!name)
    return;
  newMacro.name = *name;
  const UserDefaults::Outcome outcome =
      MacroDefaults().change([&](const UserDefaults::List &list) {
        QList<QByteArray> texts = TextsOf(list);
        texts.append(MacroEntry(newMacro).text());
        return std::optional(texts);
      });
  updateMacroPopup();
  if (outcome.result == UserDefaults::Outcome::Failed)
    alert(QStringLiteral("Macro not saved"),
          QStringLiteral("The macro \"%1\" was not stored: %2.")
              .arg(*name, outcome.reason));
}

// The first macro is never deleted. Only the macro the chosen item shows is:
// when the stored list changed since the menu was built, nothing is deleted
// and the menu shows the new list.
void PinworthWindowController::deleteMacro(QObject *) {
  const int index = macroPopup->currentIndex();
  if (index <= 0)
    return;
  const UserDefaults::Outcome outcome =
      MacroDefaults().change([&](const UserDefaults::List &list) {
        std::optional<QList<QByteArray>> texts;
        if (list.generation == shownMacros.generation &&
            index < list.elements.size()) {
          texts = TextsOf(list);
          texts->removeAt(index);
        }
        return texts;
      });
  updateMacroPopup();
  if (outcome.result == UserDefaults::Outcome::Failed)
    alert(QStringLiteral("Macro not deleted"),
          QStringLiteral("The macro list was left as it is: %1.")
              .arg(outcome.reason));
}

void PinworthWindowController::updateMacroPopup() {
  shownMacros = ReadMacros(MacroDefaults().list());
  QStringList names;
  names.reserve(shownMacros.entries.size());
  for (const MacroEntry &macro : shownMacros.entries)
    names.append(macro.name());
  macroPopup->clear();
  macroPopup->addItems(names);
}

// Another explorer changed the stored list: the menu follows.
void PinworthWindowController::macrosChangedOnDisk() {
  if (MacroDefaults().list().generation != shownMacros.generation)
    updateMacroPopup();
}

QString PinworthWindowController::activityText() const {
  const std::optional<InterfaceIdentity> selected = selectedInterface();
  if (!selected)
    return kNoInterfacePlaceholder;
  const QString name = selected->displayName();
  if (isReading)
    return QStringLiteral("Polling %1 - %2/s")
        .arg(name)
        .arg(recentPolls.size());
  if (armFailure && armFailure->first == *selected)
    return QStringLiteral("Could not listen on %1: %2")
        .arg(name, armFailure->second);
  if (armedInterfaces.sources().contains(*selected)) {
    const quint64 lost = lostReports.value(*selected);
    return QStringLiteral("Listening on %1 - %2 reports%3")
        .arg(name)
        .arg(interruptReports.value(*selected))
        .arg(lost ? QStringLiteral(", %1 lost").arg(lost) : QString());
  }
  return name;
}

void PinworthWindowController::updateStatus() {
  while (!recentPolls.empty() && recentPolls.front() <= clock.elapsed() - 1000)
    recentPolls.pop_front();
  activityLabel->setText(activityText());
  const int rows = logEntries ? logEntries->reportCount() : 0;
  rowsLabel->setText(rows == 1 ? QStringLiteral("1 row")
                               : QStringLiteral("%1 rows").arg(rows));
}

void PinworthWindowController::duplicateCheckboxClicked(QObject *) {
  ignoreDuplicates = ignoreDuplicatesCheckBox->isChecked();
}

void PinworthWindowController::tableViewSelectionDidChange() {
  addMacroButton->setEnabled(selectedLogRow() != -1);
}
