// The macro list's cost with a large preferences file.
//
// Writes a preferences file of N macros (default 100,000) into a temporary
// home, then through the real explorer window (offscreen): opens it (load,
// wake, fill the macro menu), chooses macros, adds one and deletes one the
// way the window does (a locked read-modify-write, then the menu refilled),
// and prints the time of each and the file's size before and after.
//
//   prefs_bench [macros, default 100000]
#include "app/ExplorerProcess.h"
#include "app/PinworthWindowController.h"
#include "core/runs/MacroEntry.h"

#include "platform/simulated/SimBackend.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kChoices = 200;

double Milliseconds(const QElapsedTimer &timer) {
  return timer.nsecsElapsed() / 1e6;
}

qint64 FileSize(const core::UserDefaults &preferences) {
  return QFileInfo(preferences.filePath()).size();
}

QList<QByteArray> Texts(const core::UserDefaults::List &list) {
  QList<QByteArray> texts;
  for (const core::UserDefaults::Element &element : list.elements)
    texts.append(element.text);
  return texts;
}

} // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir home;
  qputenv("HOME", home.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
  QApplication application(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Pinworth"));
  QApplication::setApplicationName(QStringLiteral("Pinworth Explorer"));
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
  hid::sim::SimBackend backend;
  hid::SetBackend(&backend);

  QList<QByteArray> macros;
  for (int i = 0; i < count; ++i)
    macros.append(
        core::MacroEntry(
            core::ReportRecord{"W", i % 256,
                               QByteArray::fromHex("0338010f0000") + char(i),
                               "Macro " + QString::number(i)})
            .text());
  explorer::ExplorerProcess process;
  core::UserDefaults &preferences = process.preferences();
  preferences.change(
      [&](const core::UserDefaults::List &) { return std::optional(macros); });
  const qint64 sizeWritten = FileSize(preferences);

  QElapsedTimer timer;
  timer.start();
  QMainWindow *window = process.newWindow();
  explorer::PinworthWindowController *controller =
      process.controllers().front();
  const double openMS = Milliseconds(timer);
  auto *menu = window->findChild<QComboBox *>("macroPopup");

  timer.restart();
  for (int i = 0; i < kChoices; ++i) {
    menu->setCurrentIndex(int(qint64(i) * 7919 % count));
    controller->macroPopupChanged(menu);
  }
  const double chooseMS = Milliseconds(timer) / kChoices;

  timer.restart();
  preferences.change([](const core::UserDefaults::List &list) {
    return std::optional(Texts(list) + QList<QByteArray>{Texts(list).first()});
  });
  controller->updateMacroPopup();
  const double addMS = Milliseconds(timer);
  const qint64 sizeAdded = FileSize(preferences);

  timer.restart();
  preferences.change([](const core::UserDefaults::List &list) {
    QList<QByteArray> texts = Texts(list);
    texts.removeLast();
    return std::optional(texts);
  });
  controller->updateMacroPopup();
  const double deleteMS = Milliseconds(timer);

  std::printf("Macro list of %d macros, through the explorer window (%s)\n",
              count, qPrintable(QGuiApplication::platformName()));
  std::printf("  file: %lld bytes written, %lld after an add, %lld after a "
              "delete\n",
              sizeWritten, sizeAdded, FileSize(preferences));
  std::printf("  open (load, wake, show, fill the menu): %9.1f ms\n", openMS);
  std::printf("  choose a macro (mean of %d):       %9.3f ms\n", kChoices,
              chooseMS);
  std::printf("  add (locked rewrite, menu):       %9.1f ms\n", addMS);
  std::printf("  delete (locked rewrite, menu):    %9.1f ms\n", deleteMS);
  return 0;
}
