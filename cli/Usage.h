// The text of pinworth --help.
#ifndef PINWORTH_CLI_USAGE_H
#define PINWORTH_CLI_USAGE_H

namespace cli {

extern const char kUsageText[];

} // namespace cli

#endif
