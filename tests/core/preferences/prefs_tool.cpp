// A second program on the preferences, for the tests that need two:
//   prefs_tool <file> add <name prefix> <count>   adds count macros, one a
//   change prefs_tool <file> delete <index>              deletes the macro at
//   index
// Exits 0 when every change was stored.
#include "core/runs/MacroEntry.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv) {
  QCoreApplication application(argc, argv);
  const QStringList args = application.arguments();
  if (args.size() < 4)
    return 2;
  core::UserDefaults defaults(args[1], core::kDefaultMacrosKey);
  int count = args[2] == "add" ? args.value(4).toInt() : 1;
  for (int i = 0; i < count; ++i) {
    const core::UserDefaults::Outcome outcome =
        defaults.change([&](const core::UserDefaults::List &list) {
          QList<QByteArray> elements = list.texts();
          if (args[2] == "add")
            elements.append(
                core::MacroEntry(
                    core::ReportRecord{"W", -1, "\x01",
                                       args[3] + ' ' + QString::number(i)})
                    .text());
          else if (args[3].toInt() < elements.size())
            elements.removeAt(args[3].toInt());
          return std::optional(elements);
        });
    if (outcome.result != core::UserDefaults::Outcome::Stored) {
      std::fprintf(stderr, "%s\n", qPrintable(outcome.error));
      return 1;
    }
  }
  return 0;
}
