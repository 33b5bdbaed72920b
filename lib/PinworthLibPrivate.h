// State shared by the library's source files; not for callers.
#ifndef PINWORTH_LIB_PRIVATE_H
#define PINWORTH_LIB_PRIVATE_H

#include "lib/PinworthLib.h"

#include <cstdint>

// Head of the interface list; null when empty.
extern PinworthListNode *gPinworthList;
// Non-zero: the list must be rebuilt before the next checking query.
extern int16_t gPinworthListDirty;

#endif
