#include "app/ExplorerProgram.h"

#include "app/ExplorerProcess.h"
#include "app/TerminationSignals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMainWindow>

#include <csignal>
#include <cstdio>
#include <string_view>

namespace explorer {

bool CanOpenWindow(int argc, char **argv) {
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
      !qEnvironmentVariableIsEmpty("DISPLAY") ||
      !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    return true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "-h" || argument == "--help" || argument == "--help-all" ||
        argument == "-v" || argument == "--version") {
      // Answered on standard output; no window is shown.
      qputenv("QT_QPA_PLATFORM", "offscreen");
      return true;
    }
  }
  std::fprintf(stderr,
               "%s: no display to open the window on (DISPLAY and "
               "WAYLAND_DISPLAY are not set)\n",
               argc > 0 ? argv[0] : "pinworth-explorer");
  return false;
}

int RunExplorer(QApplication &application, const QString &description,
                const ExplorerShown &shown,
                const QList<QCommandLineOption> &extraOptions) {
  QApplication::setOrganizationName(QStringLiteral("Pinworth"));
  QApplication::setApplicationName(QStringLiteral("Pinworth Explorer"));
  QApplication::setApplicationVersion(QStringLiteral(PINWORTH_VERSION));
  QCommandLineParser options;
  options.setApplicationDescription(description);
  options.addHelpOption();
  options.addVersionOption();
  options.addOptions(extraOptions);
  options.process(application);
  // A file-size limit fails the write that meets it (the capture, an
  // export say why) instead of killing the explorer.
  std::signal(SIGXFSZ, SIG_IGN);
  QuitOnTerminationSignals(application);
  ExplorerProcess process;
  QMainWindow *first = process.newWindow();
  if (shown && !shown(process, *first, options))
    return 1;
  return application.exec();
}

} // namespace explorer
