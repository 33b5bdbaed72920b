#include "lib/PinworthLib.h"

#include <cstdio>

void PrintErrMsg(const char *msg) {
  std::fprintf(stderr, "%s\n", msg);
  std::fflush(stderr);
}

// Prints the message, the status's text, the status in hex and its low 24
// bits in decimal; nothing for a status of 0.
void PrintErrMsgIfIOErr(long expr, const char *msg) {
  if (expr == 0)
    return;
  std::fprintf(stderr, "%s - %s(%x,%d)\n", msg,
               hid::StatusString(static_cast<hid::Status>(expr)),
               static_cast<unsigned>(expr), static_cast<int>(expr & 0xFFFFFF));
  std::fflush(stderr);
}

// Progress texts are not shown.
void PrintNotificationMessage(const char *) {}
