// Ctrl+C and the event loop. SIGINT (and SIGTERM) only write a byte to a
// pipe; the main thread's event loop reads it and ends whatever wait is
// under way, so that a command stops between two reports, never inside one,
// and lets go of its devices before the program ends.
#ifndef PINWORTH_CLI_STOP_REQUESTS_H
#define PINWORTH_CLI_STOP_REQUESTS_H

#include <QEventLoop>

#include <optional>

namespace cli {

// Installs the signal handlers. Call once, from main, after the
// QCoreApplication exists.
void InstallStopRequests();

// Whether Ctrl+C (or SIGTERM) came.
bool StopRequested();

// Runs loop until something calls loop.exit(status), timeoutMS pass (when
// given), or a stop is requested; returns status, statusAtTimeout or
// kExitInterrupted. Once a stop was requested, returns kExitInterrupted at
// once.
int RunUntilDone(QEventLoop &loop, std::optional<int> timeoutMS,
                 int statusAtTimeout);

} // namespace cli

#endif
