#include "app/MacroMenu.h"

#include "app/framework/AlertPanel.h"
#include "app/framework/MacroNamePanelController.h"
#include "core/DefaultMacros.h"

#include <QComboBox>

namespace {

QList<QByteArray> TextsOf(const UserDefaults::List &list) {
  QList<QByteArray> texts;
  texts.reserve(list.elements.size() + 1);
  for (const UserDefaults::Element &element : list.elements)
    texts.append(element.text);
  return texts;
}

} // namespace

void RegisterDefaultMacros(UserDefaults &preferences) {
  QList<QByteArray> defaultMacros;
  for (const DefaultMacro &macro : kDefaultMacroTable)
    defaultMacros.append(
        MacroEntry(ReportRecord{kReportDirectionOut, macro.reportID,
                                QByteArray(reinterpret_cast<const char *>(
                                               macro.data.data()),
                                           kDefaultMacroDataBytes),
                                QString::fromLatin1(macro.name)})
            .text());
  preferences.registerDefaults(defaultMacros);
}

MacroMenu::MacroMenu(QComboBox *popup, UserDefaults &preferences,
                     QWidget *window)
    : popup_(popup), preferences_(preferences), window_(window) {
  connect(&preferences_, &UserDefaults::changed, this,
          &MacroMenu::followPreferences);
}

void MacroMenu::refill() {
  shown_ = ReadMacros(preferences_.list());
  QStringList names;
  names.reserve(shown_.entries.size());
  for (const MacroEntry &macro : shown_.entries)
    names.append(macro.name());
  popup_->clear();
  popup_->addItems(names);
}

void MacroMenu::followPreferences() {
  if (preferences_.list().generation != shown_.generation)
    refill();
}

std::optional<ReportRecord> MacroMenu::chosenMacro() {
  const int index = popup_->currentIndex();
  if (preferences_.list().generation != shown_.generation) {
    refill();
    return std::nullopt;
  }
  if (index < 0 || index >= shown_.entries.size())
    return std::nullopt;
  return shown_.entries[index].record();
}

void MacroMenu::add(ReportRecord written) {
  const std::optional<QString> name =
      MacroNamePanelController::chooseMacroName(window_);
  if (!name)
    return;
  written.name = *name;
  const UserDefaults::Outcome outcome =
      preferences_.change([&](const UserDefaults::List &list) {
        QList<QByteArray> texts = TextsOf(list);
        texts.append(MacroEntry(written).text());
        return std::optional(texts);
      });
  refill();
  if (outcome.result == UserDefaults::Outcome::Failed)
    RunAlertPanel(window_, QStringLiteral("Macro not saved"),
                  QStringLiteral("The macro \"%1\" was not stored: %2.")
                      .arg(*name, outcome.reason));
}

void MacroMenu::deleteChosen() {
  const int index = popup_->currentIndex();
  if (index <= 0)
    return;
  const UserDefaults::Outcome outcome =
      preferences_.change([&](const UserDefaults::List &list) {
        std::optional<QList<QByteArray>> texts;
        if (list.generation == shown_.generation &&
            index < list.elements.size()) {
          texts = TextsOf(list);
          texts->removeAt(index);
        }
        return texts;
      });
  refill();
  if (outcome.result == UserDefaults::Outcome::Failed)
    RunAlertPanel(window_, QStringLiteral("Macro not deleted"),
                  QStringLiteral("The macro list was left as it is: %1.")
                      .arg(outcome.reason));
}
