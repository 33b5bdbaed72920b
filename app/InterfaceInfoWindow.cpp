#include "app/InterfaceInfoWindow.h"

#include "app/framework/AlertPanel.h"
#include "app/framework/SaveDialog.h"
#include "ui_InterfaceInfo.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QRegularExpression>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace explorer {

InterfaceInfoWindow::InterfaceInfoWindow(QWidget *parent)
    : QWidget(parent, Qt::Window),
      ui_(std::make_unique<Ui::InterfaceInfoWindow>()) {
  ui_->setupUi(this);
  resize(640, 560);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  ui_->itemsView->setFont(fixed);
  ui_->hexView->setFont(fixed);
  ui_->reportsTable->setColumnCount(5);
  ui_->reportsTable->setHorizontalHeaderLabels(
      {QStringLiteral("Report ID"), QStringLiteral("Kind"),
       QStringLiteral("Bits"), QStringLiteral("Data bytes"),
       QStringLiteral("Report bytes")});
  ui_->reportsTable->verticalHeader()->hide();
  connect(ui_->copyButton, &QPushButton::clicked, this,
          &InterfaceInfoWindow::copy);
  connect(ui_->saveButton, &QPushButton::clicked, this,
          &InterfaceInfoWindow::save);

  showNoInterface();
}

InterfaceInfoWindow::~InterfaceInfoWindow() = default;

// Escape and Ctrl+W close it, as they close a window of its kind.
void InterfaceInfoWindow::keyPressEvent(QKeyEvent *event) {
  if (event->key() == Qt::Key_Escape || event->matches(QKeySequence::Close))
    close();
  else
    QWidget::keyPressEvent(event);
}

void InterfaceInfoWindow::showFor(
    const std::optional<core::InterfaceIdentity> &interface,
    const std::optional<core::InterfaceInfo> &info) {
  if (interface && info)
    showInfo(interface->displayName(), *info);
  else
    showNoInterface();
}

void InterfaceInfoWindow::showInfo(const QString &name,
                                   const core::InterfaceInfo &info) {
  name_ = name;
  text_ = core::InterfaceInfoText(name, info);
  setWindowTitle(QStringLiteral("Interface Info - %1").arg(name));
  ui_->nameLabel->setText(name);
  fillProperties(info);
  fillReports(info);
  if (info.descriptorStatus == hid::kSuccess) {
    ui_->itemsView->setPlainText(QString::fromStdString(
        hid::descriptor::FormatItems(info.decoded, info.descriptor.data())));
    ui_->hexView->setPlainText(core::DescriptorHexText(info.descriptor));
  } else {
    const QString reason =
        QStringLiteral("The report descriptor cannot be read: %1.")
            .arg(core::StatusText(info.descriptorStatus));
    ui_->itemsView->setPlainText(reason);
    ui_->hexView->setPlainText(reason);
  }
  ui_->copyButton->setEnabled(true);
  ui_->saveButton->setEnabled(true);
}

void InterfaceInfoWindow::showNoInterface() {
  name_.clear();
  text_.clear();
  setWindowTitle(QStringLiteral("Interface Info"));
  ui_->nameLabel->setText(QStringLiteral("No interface selected"));
  fillProperties(core::InterfaceInfo{});
  ui_->reportsTable->setRowCount(0);
  ui_->itemsView->clear();
  ui_->hexView->clear();
  ui_->copyButton->setEnabled(false);
  ui_->saveButton->setEnabled(false);
}

void InterfaceInfoWindow::fillProperties(const core::InterfaceInfo &info) {
  while (ui_->propertiesLayout->rowCount() > 0)
    ui_->propertiesLayout->removeRow(0);
  if (name_.isEmpty())
    return;
  for (const auto &[key, value] : core::PropertyLines(info)) {
    auto *valueLabel = new QLabel(value);
    valueLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ui_->propertiesLayout->addRow(key + QLatin1Char(':'), valueLabel);
  }
}

void InterfaceInfoWindow::fillReports(const core::InterfaceInfo &info) {
  const std::vector<hid::descriptor::Report> &reports = info.decoded.reports;
  ui_->reportsTable->setRowCount(int(reports.size()));
  for (int row = 0; row < int(reports.size()); ++row) {
    const hid::descriptor::Report &report = reports[size_t(row)];
    const QString cells[] = {
        info.decoded.usesReportIDs ? core::ReportIDText(report.reportID)
                                   : QStringLiteral("none"),
        QString::fromLatin1(hid::descriptor::KindName(report.kind)),
        QString::number(report.bits), QString::number(report.dataBytes),
        QString::number(report.reportBytes)};
    for (int column = 0; column < 5; ++column)
      ui_->reportsTable->setItem(row, column,
                                 new QTableWidgetItem(cells[column]));
  }
  ui_->reportsTable->resizeColumnsToContents();
}

void InterfaceInfoWindow::copy() {
  QGuiApplication::clipboard()->setText(text_);
}

bool InterfaceInfoWindow::saveTo(const QString &path, QString *error) const {
  // Unbuffered, so that a short write (a full disk) shows in write()'s
  // count: a buffered QSaveFile commits the cut file as a success.
  QSaveFile file(path);
  const QByteArray bytes = text_.toUtf8();
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    *error = file.errorString();
    return false;
  }
  errno = 0;
  if (file.write(bytes) != bytes.size()) {
    *error = QString::fromLocal8Bit(std::strerror(errno ? errno : ENOSPC));
    return false;
  }
  if (!file.commit()) {
    *error = file.errorString();
    return false;
  }
  return true;
}

void InterfaceInfoWindow::save() {
  const std::optional<SavePath> chosen =
      AskSavePath(this, QStringLiteral("Save Interface Info"),
                  {QStringLiteral("Text (*.txt)")},
                  QString(name_).replace(QRegularExpression("[^\\w-]+"), "-") +
                      QStringLiteral("-info"));
  if (!chosen)
    return;
  QString error;
  if (!saveTo(chosen->path, &error))
    RunAlertPanel(
        this, QStringLiteral("Interface info not saved"),
        QStringLiteral("The interface info of %1 was not saved.").arg(name_),
        error);
}

} // namespace explorer
