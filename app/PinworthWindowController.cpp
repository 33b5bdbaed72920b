#include "app/PinworthWindowController.h"

#include "app/ActivityStatus.h"
#include "app/InterfaceMenu.h"
#include "app/InterfaceReader.h"
#include "app/MacroMenu.h"
#include "app/ReadFailedAlert.h"
#include "app/ReadingMenu.h"
#include "app/ReportForm.h"
#include "app/ReportWriter.h"
#include "app/WindowState.h"
#include "app/log/LogPanel.h"
#include "app/log/LogView.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>

namespace explorer {

PinworthWindowController *gWindowController = nullptr;

PinworthWindowController::PinworthWindowController(
    const PinworthWindowOutlets &outlets, WindowShares shares, int number)
    : shares(std::move(shares)), windowNumber(number),
      logTable(outlets.logTable), window(outlets.window),
      interfacePopup(outlets.interfacePopup), macroPopup(outlets.macroPopup),
      reportIDField(outlets.reportIDField),
      ignoreDuplicatesCheckBox(outlets.ignoreDuplicatesCheckBox),
      readButton(outlets.readButton), writeButton(outlets.writeButton),
      addMacroButton(outlets.addMacroButton),
      logFilterField(outlets.logFilterField),
      exportButton(outlets.exportButton) {}

PinworthWindowController::~PinworthWindowController() {
  if (logEntries)
    shares.windowState.save(windowNumber, window, logTable->horizontalHeader(),
                            selectedInterface());
  reader.reset();
  logTable->setModel(nullptr);
}

void PinworthWindowController::initialize(core::UserDefaults &preferences) {
  core::RegisterDefaultMacros(preferences);
}

void PinworthWindowController::awakeFromNib() {
  gWindowController = this;
  createParts();
  interfaces->restoreSelection(
      shares.windowState.selectedInterface(windowNumber));
  shares.startLibrary();
  reader->setIgnoreDuplicates(true);
  populateInterfacePopup();
  tableViewSelectionDidChange();
  createLog();
  shares.windowState.restore(windowNumber, window,
                             logTable->horizontalHeader());
  logTools->fitColumnsToFont();
  connect(logTable, &LogView::doubleClicked, this,
          &PinworthWindowController::logTableDoubleClicked);
  updateMacroPopup();
  ignoreDuplicatesCheckBox->setChecked(reader->ignoresDuplicates());
  status->refresh();
}

// The parts of the window that own its state, and how they meet: reports
// read go to the log, a failed poll ends in an alert, the form's keys and
// messages reach the write and the status bar.
void PinworthWindowController::createParts() {
  interfaces =
      std::make_unique<InterfaceMenu>(interfacePopup, window->centralWidget());
  form = std::make_unique<ReportForm>(window->centralWidget(), reportIDField);
  writer = std::make_unique<ReportWriter>(*interfaces, *form, window);
  connect(writer.get(), &ReportWriter::sent, this,
          [this](const ReportWriter::Sent &sent) {
            addLogEntryWithDirection(core::kReportDirectionOut, sent.reportID,
                                     int(sent.data.size()), sent.data.data(),
                                     sent.target, sent.at);
          });
  status = std::make_unique<ActivityStatus>(
      window->statusBar(), window->centralWidget(),
      [this] {
        return reader->activityText(selectedInterface(),
                                    interfaces->missingTarget());
      },
      [this] { return logEntries ? logEntries->reportCount() : 0; });
  reader = std::make_unique<InterfaceReader>(shares.listeners);
  readingStops =
      std::make_unique<ReadingMenu>(window, status->activityLabel(), *reader);
  macros = std::make_unique<MacroMenu>(macroPopup, shares.preferences, window,
                                       status->messageBar());
  connect(reader.get(), &InterfaceReader::reportRead, this,
          [this](int reportID, const uint8_t *data, int size,
                 const core::InterfaceIdentity &source,
                 hid::ReportTime readAt) {
            addLogEntryWithDirection(core::kReportDirectionIn, reportID, size,
                                     data, source, readAt);
          });
  connect(reader.get(), &InterfaceReader::pollFailed, this,
          [this](int32_t failure) {
            ShowReadFailedAlert(window, hid::StatusString(failure));
          });
  ReportFormFields &fields = form->fields();
  connect(&fields, &ReportFormFields::writeRequested, this,
          [this] { doWrite(this); });
  connect(&fields, &ReportFormFields::message, status.get(),
          [this](const QString &text) { status->showMessage(text); });
  connect(writer.get(), &ReportWriter::refused, status.get(),
          [this](const QString &text) { status->showMessage(text); });
  connect(&fields, &ReportFormFields::edited, this,
          &PinworthWindowController::updateReportCheck);
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
  connect(reader.get(), &InterfaceReader::lossNoticed, logEntries.get(),
          [this](uint64_t count, const core::InterfaceIdentity &source,
                 hid::ReportTime readAt) {
            logEntries->appendLoss(count, source, readAt);
          });
  connect(reader.get(), &InterfaceReader::readingEvent, logEntries.get(),
          &LogTableModel::appendEvent);
  connect(reader.get(), &InterfaceReader::readingEvent, this,
          &PinworthWindowController::refreshControls);
  connect(logTools.get(), &LogPanel::message, status.get(),
          [this](const QString &text) { status->showMessage(text); });
}

// Before the log exists, at wake-up, the devices found are not events.
void PinworthWindowController::populateInterfacePopup() {
  const InterfaceMenu::Change change = interfaces->refill();
  if (logEntries)
    logEntries->appendDeviceChanges(change.left, change.came);
  shares.listeners.followList();
  if (change.targetLeft)
    status->targetUnplugged(
        InterfaceMenu::UnpluggedText(*interfaces->missingTarget()));
  if (change.targetBack)
    status->targetBack();
  reader->followList();
  interfacePopupChanged(this);
}

std::optional<core::InterfaceIdentity>
PinworthWindowController::selectedInterface() const {
  return interfaces->selectedInterface();
}

void PinworthWindowController::doWrite(QObject *) {
  if (interfaces->targetBlocked())
    return status->nothingSent(
        InterfaceMenu::UnpluggedText(*interfaces->missingTarget()));
  writer->write();
}

bool PinworthWindowController::waitsForDevice() const {
  return writer->isWaiting() || reader->waitsForFirstPoll();
}

// Read stops the reading of the selected interface, or starts it.
void PinworthWindowController::doRead(QObject *) {
  if (readsSelected())
    stopReading();
  else
    startReading();
}

bool PinworthWindowController::readsSelected() const {
  const std::optional<core::InterfaceIdentity> selected = selectedInterface();
  return selected && reader->reads(*selected);
}

void PinworthWindowController::stopReading() {
  if (const std::optional<core::InterfaceIdentity> selected =
          selectedInterface())
    reader->stop(*selected);
}

void PinworthWindowController::startReading() {
  if (!reader->start(interfaces->selectedPosition()))
    status->nothingToRead();
  refreshControls();
}

// Read says "Stop Reading" while the selected interface is read; Write and
// Read send nothing while the target is unplugged.
void PinworthWindowController::refreshControls() {
  readButton->setText(readsSelected() ? QStringLiteral("Stop Reading")
                                      : QStringLiteral("Read"));
  readButton->setEnabled(!interfaces->targetBlocked() || readsSelected());
  writeButton->setEnabled(!interfaces->targetBlocked());
  // The window is named by its target, the program's name last.
  const std::optional<core::InterfaceIdentity> target = selectedInterface();
  window->setWindowTitle(target ? target->displayName() +
                                      QStringLiteral(" — Pinworth Explorer")
                                : QStringLiteral("Pinworth Explorer"));
  status->refresh();
  emit controlsRefreshed();
}

void PinworthWindowController::read(QTimer *) {
  reader->poll();
}

// A choice of the user's makes a new target; an unplugged target keeps the
// form as it is.
void PinworthWindowController::interfacePopupChanged(QObject *sender) {
  if (sender != this) {
    status->targetChosen();
    interfaces->targetSelection();
  }
  if (!interfaces->missingTarget())
    form->layOutFor(interfaces->selectedPosition());
  interfaces->readSelectedInfo();
  updateReportCheck();
  refreshControls();
}

void PinworthWindowController::showInterfaceInfo(QObject *) {
  interfaces->showInfoWindow(window);
}

void PinworthWindowController::updateReportCheck() {
  status->setReportCheck(form->reportCheck(interfaces->selectedInfo()));
}

void PinworthWindowController::resetReportValues(QObject *) {
  form->reset();
}

core::ReportRecord PinworthWindowController::logEntryWithDirection(
    const QString &inDirection, int inReportID, int inSize,
    const uint8_t *inData, const QString &inName) {
  return core::ReportRecord{
      inDirection, inReportID,
      QByteArray(reinterpret_cast<const char *>(inData), inSize), inName};
}

void PinworthWindowController::addLogEntryWithDirection(
    const QString &inDirection, int inReportID, int inSize,
    const uint8_t *inData, const std::optional<core::InterfaceIdentity> &source,
    std::optional<hid::ReportTime> at) {
  logEntries->append(inDirection == core::kReportDirectionOut, inReportID,
                     inSize, inData, source, at);
  emit reportLogged(inDirection, inReportID, inSize, inData, source);
}

void PinworthWindowController::logTableDoubleClicked() {
  if (const int row = logTools->selectedReport(); row != -1)
    updateInterfaceFromLogEntry(logEntries->record(row));
}

void PinworthWindowController::updateInterfaceFromLogEntry(
    const core::ReportRecord &inLogEntry) {
  form->load(inLogEntry);
}

void PinworthWindowController::setLastValueRead(
    const std::optional<QByteArray> &inData) {
  reader->setLastValueRead(inData);
}

void PinworthWindowController::clearLogEntries(QObject *) {
  logEntries->clear();
  tableViewSelectionDidChange();
}

void PinworthWindowController::macroPopupChanged(QObject *) {
  const std::optional<core::ReportRecord> macro = macros->chosenMacro();
  if (!macro)
    return;
  updateInterfaceFromLogEntry(*macro);
  const std::optional<core::InterfaceIdentity> target = selectedInterface();
  status->macroMisfit(form->misfit(
      *macro, target ? target->displayName() : QStringLiteral("the form")));
}

void PinworthWindowController::addMacro(QObject *) {
  const int row = logTools->selectedReport();
  if (row == -1)
    return;
  core::ReportRecord newMacro = logEntries->record(row);
  if (newMacro.direction == core::kReportDirectionOut)
    macros->add(newMacro);
}

void PinworthWindowController::deleteMacro(QObject *) {
  macros->deleteChosen();
}

void PinworthWindowController::updateMacroPopup() {
  macros->refill();
}

void PinworthWindowController::duplicateCheckboxClicked(QObject *) {
  reader->setIgnoreDuplicates(ignoreDuplicatesCheckBox->isChecked());
}

// Only a report written becomes a macro: a read report or an event row
// leaves Add Macro disabled. Before the log exists, at wake-up, nothing is
// selected.
void PinworthWindowController::tableViewSelectionDidChange() {
  const int selected = logTools ? logTools->selectedReport() : -1;
  addMacroButton->setEnabled(selected != -1 &&
                             logEntries->row(selected).isOutput());
}

MessageBar *PinworthWindowController::messageBar() const {
  return status->messageBar();
}

} // namespace explorer
