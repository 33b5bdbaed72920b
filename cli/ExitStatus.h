// What pinworth's exit status says; pinworth --help and its man page list
// the same.
#ifndef PINWORTH_CLI_EXIT_STATUS_H
#define PINWORTH_CLI_EXIT_STATUS_H

namespace cli {

enum ExitStatus {
  kExitSuccess = 0,
  kExitBadArguments = 2,
  kExitNoSuchInterface = 3,
  kExitTransferFailed = 4,
  kExitTimedOut = 5,
  kExitInterrupted = 130, // Ctrl+C, as a shell reports a SIGINT
};

} // namespace cli

#endif
