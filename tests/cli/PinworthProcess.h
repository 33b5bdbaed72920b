// The built pinworth program run as a user runs it, with what it printed
// and its exit status.
#ifndef PINWORTH_TEST_PINWORTH_PROCESS_H
#define PINWORTH_TEST_PINWORTH_PROCESS_H

#include <QProcess>
#include <QString>
#include <QStringList>

struct PinworthRun {
  int exitCode = -1;
  bool crashed = true;
  QStringList lines; // standard output, a line each
  QString errors;    // standard error
};

inline void StartPinworth(QProcess &process, const QStringList &arguments) {
  process.start(QStringLiteral(PINWORTH_PROGRAM), arguments);
}

inline PinworthRun Finish(QProcess &process) {
  PinworthRun run;
  // One that never started or did not end counts as crashed: QProcess keeps
  // a normal exit with status 0 for it.
  const bool finished = process.waitForFinished(20000);
  if (!finished) {
    process.kill();
    process.waitForFinished();
  }
  run.crashed = !finished || process.exitStatus() != QProcess::NormalExit;
  run.exitCode = process.exitCode();
  run.lines = QString::fromUtf8(process.readAllStandardOutput())
                  .split(u'\n', Qt::SkipEmptyParts);
  run.errors = QString::fromUtf8(process.readAllStandardError());
  return run;
}

inline PinworthRun RunPinworth(const QStringList &arguments) {
  QProcess process;
  StartPinworth(process, arguments);
  return Finish(process);
}

#endif
