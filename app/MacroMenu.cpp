#include "app/MacroMenu.h"

#include "app/MessageBar.h"
#include "app/framework/AlertPanel.h"
#include "app/framework/MacroNamePanelController.h"

#include <QAction>
#include <QComboBox>

namespace explorer {

MacroMenu::MacroMenu(QComboBox *popup, core::UserDefaults &preferences,
                     QWidget *window, MessageBar *messages)
    : popup_(popup), preferences_(preferences), window_(window),
      messages_(messages) {
  connect(&preferences_, &core::UserDefaults::changed, this,
          &MacroMenu::followPreferences);
  auto *undo = new QAction(QStringLiteral("Undo Delete Macro"), window_);
  undo->setObjectName(QStringLiteral("undoDeleteMacroAction"));
  undo->setShortcut(QKeySequence::Undo);
  connect(undo, &QAction::triggered, this, &MacroMenu::undoDelete);
  window_->addAction(undo);
}

void MacroMenu::refill() {
  shown_ = core::ReadMacros(preferences_.list());
  QStringList names;
  names.reserve(shown_.entries.size());
  bool tooLarge = false;
  for (const core::MacroEntry &macro : shown_.entries) {
    names.append(macro.name());
    tooLarge |= macro.isTooLarge();
  }
  popup_->clear();
  popup_->addItems(names);
  if (tooLarge && !std::exchange(toldTooLarge_, true))
    messages_->show(
        QStringLiteral("A macro in %1 is longer than %2 bytes: it is kept in "
                       "the file as it is, but not loaded.")
            .arg(preferences_.filePath())
            .arg(core::UserDefaults::kElementMaxBytes),
        MessageBar::Kind::Standing, QStringLiteral("macro too large"));
}

void MacroMenu::followPreferences() {
  if (preferences_.list().generation != shown_.generation)
    refill();
}

std::optional<core::ReportRecord> MacroMenu::chosenMacro() {
  const int index = popup_->currentIndex();
  if (preferences_.list().generation != shown_.generation) {
    refill();
    return std::nullopt;
  }
  if (index < 0 || index >= shown_.entries.size())
    return std::nullopt;
  return shown_.entries[index].record();
}

void MacroMenu::add(core::ReportRecord written) {
  const std::optional<QString> name =
      MacroNamePanelController::chooseMacroName(window_);
  if (!name)
    return;
  written.name = *name;
  const core::MacroEntry entry(written);
  if (entry.isTooLarge())
    return RunAlertPanel(
        window_, QStringLiteral("Macro not saved"),
        QStringLiteral("The macro \"%1\" was not stored: %2.")
            .arg(name->size() > 40 ? name->left(40) + QChar(0x2026) : *name,
                 QStringLiteral("it would take more than %1 bytes in the "
                                "preferences file")
                     .arg(core::UserDefaults::kElementMaxBytes)));
  const core::UserDefaults::Outcome outcome =
      preferences_.change([&](const core::UserDefaults::List &list) {
        QList<QByteArray> texts = list.texts();
        texts.append(entry.text());
        return std::optional(texts);
      });
  refill();
  if (outcome.result == core::UserDefaults::Outcome::Failed)
    RunAlertPanel(window_, QStringLiteral("Macro not saved"),
                  QStringLiteral("The macro \"%1\" was not stored: %2.")
                      .arg(*name, outcome.error));
}

void MacroMenu::deleteChosen() {
  const int index = popup_->currentIndex();
  if (index <= 0)
    return;
  const QString name = popup_->currentText();
  QByteArray text;
  const core::UserDefaults::Outcome outcome =
      preferences_.change([&](const core::UserDefaults::List &list) {
        std::optional<QList<QByteArray>> texts;
        if (list.generation == shown_.generation &&
            index < list.elements.size()) {
          texts = list.texts();
          // Kept whole for Ctrl+Z: the file will no longer hold it.
          const std::optional<QByteArray> whole =
              preferences_.wholeText(texts->takeAt(index));
          if (!whole)
            return std::optional<QList<QByteArray>>();
          text = *whole;
        }
        return texts;
      });
  refill();
  if (outcome.result == core::UserDefaults::Outcome::Failed)
    RunAlertPanel(window_, QStringLiteral("Macro not deleted"),
                  QStringLiteral("The macro list was left as it is: %1.")
                      .arg(outcome.error));
  if (outcome.result != core::UserDefaults::Outcome::Stored)
    return;
  deleted_.append({index, text, name});
  messages_->show(
      QStringLiteral("Macro \"%1\" deleted. Ctrl+Z brings it back.").arg(name));
}

void MacroMenu::undoDelete() {
  if (deleted_.isEmpty())
    return;
  const Deleted last = deleted_.last();
  const core::UserDefaults::Outcome outcome =
      preferences_.change([&](const core::UserDefaults::List &list) {
        QList<QByteArray> texts = list.texts();
        texts.insert(std::min(last.index, texts.size()), last.text);
        return std::optional(texts);
      });
  refill();
  if (outcome.result == core::UserDefaults::Outcome::Failed)
    return RunAlertPanel(window_, QStringLiteral("Macro not saved"),
                         QStringLiteral("The macro \"%1\" was not stored: %2.")
                             .arg(last.name, outcome.error));
  popup_->setCurrentIndex(
      int(std::min(last.index, qsizetype(popup_->count() - 1))));
  messages_->show(QStringLiteral("Macro \"%1\" is back.").arg(last.name));
  deleted_.removeLast();
}

} // namespace explorer
