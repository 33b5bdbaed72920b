#include "app/ReportFormFields.h"

#include "core/text/ByteList.h"
#include "core/text/HexScanner.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

#include <memory>

namespace explorer {

namespace {

constexpr char kMarkedProperty[] = "notAByte";
const QString kMarkedDescription =
    QStringLiteral("not a byte: type a hexadecimal value from 00 to ff");

} // namespace

const QString ReportFormFields::kMarkedStyle =
    QStringLiteral("QLineEdit { border: 2px solid #d9534f; }");

ReportFormFields::ReportFormFields(QList<QLineEdit *> fields, QObject *parent)
    : QObject(parent), fields_(std::move(fields)) {
  for (QLineEdit *field : fields_) {
    field->installEventFilter(this);
    field->setContextMenuPolicy(Qt::DefaultContextMenu);
    connect(field, &QLineEdit::textChanged, this, [this, field] {
      refreshMark(field);
      emit edited();
    });
    connect(field, &QLineEdit::returnPressed, this,
            &ReportFormFields::writeRequested);
  }
}

void ReportFormFields::refreshMarks() {
  for (QLineEdit *field : fields_)
    refreshMark(field);
}

bool ReportFormFields::isMarked(const QLineEdit *field) {
  return field->property(kMarkedProperty).toBool();
}

void ReportFormFields::focus(QLineEdit *field) {
  field->setFocus(Qt::OtherFocusReason);
  field->selectAll();
}

void ReportFormFields::refreshMark(QLineEdit *field) {
  const bool marked = field->isEnabled() && !core::ParseHexByte(field->text());
  if (marked == isMarked(field))
    return;
  field->setProperty(kMarkedProperty, marked);
  field->setStyleSheet(marked ? kMarkedStyle : QString());
  field->setAccessibleDescription(marked ? kMarkedDescription : QString());
}

bool ReportFormFields::eventFilter(QObject *watched, QEvent *event) {
  auto *field = qobject_cast<QLineEdit *>(watched);
  if (!field || !fields_.contains(field))
    return false;
  if (event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent *>(event)->matches(QKeySequence::Paste)) {
    paste(field);
    return true;
  }
  if (event->type() == QEvent::ContextMenu) {
    std::unique_ptr<QMenu> menu(field->createStandardContextMenu());
    for (QAction *action : menu->actions())
      if (action->objectName() == QLatin1String("edit-paste")) {
        action->disconnect();
        connect(action, &QAction::triggered, this,
                [this, field] { paste(field); });
      }
    menu->exec(static_cast<QContextMenuEvent *>(event)->globalPos());
    return true;
  }
  return false;
}

void ReportFormFields::paste(QLineEdit *into) {
  const std::optional<QByteArray> bytes =
      core::ParseByteList(QGuiApplication::clipboard()->text());
  if (!bytes || bytes->size() == 1) {
    into->paste();
    return;
  }
  QList<QLineEdit *> targets;
  for (qsizetype i = fields_.indexOf(into); i < fields_.size(); ++i)
    if (fields_[i]->isEnabled())
      targets.append(fields_[i]);
  const QString from = into->accessibleName();
  if (bytes->size() > targets.size()) {
    emit message(QStringLiteral("The pasted report has %1 bytes, and from %2 "
                                "on the form takes %3: nothing was pasted")
                     .arg(bytes->size())
                     .arg(from)
                     .arg(targets.size()));
    return;
  }
  for (qsizetype i = 0; i < bytes->size(); ++i)
    targets[i]->setText(
        QString::asprintf("%02x", unsigned(uint8_t(bytes->at(i)))));
  focus(targets[bytes->size() - 1]);
  emit message(QStringLiteral("Pasted %1 bytes from %2 to %3")
                   .arg(bytes->size())
                   .arg(from, targets[bytes->size() - 1]->accessibleName()));
}

} // namespace explorer
