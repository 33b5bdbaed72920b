// SIGTERM, SIGINT and SIGHUP end the explorer as closing its windows does:
// the event loop returns and each window's capture is closed and kept as a
// session, with none of its last rows left unwritten.
#ifndef PINWORTH_EXPLORER_TERMINATION_SIGNALS_H
#define PINWORTH_EXPLORER_TERMINATION_SIGNALS_H

class QCoreApplication;

namespace explorer {

// Call once, before the event loop runs.
void QuitOnTerminationSignals(QCoreApplication &application);

} // namespace explorer

#endif
