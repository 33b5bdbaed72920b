// The text of pinworth --help.
#ifndef PINWORTH_CLI_USAGE_H
#define PINWORTH_CLI_USAGE_H

extern const char kUsageText[];

#endif
