// A report written out as a list of bytes, as users paste it from logs,
// terminals and code:
//   "05 01 80 00"      hexadecimal pairs, separated by blanks, commas, colons
//   "0x05,0x01,0x80"   the same with 0x prefixes
//   "050180"           a run of pairs without separators
//   "[5, 1, 128]"      a bracketed list, decimal unless 0x-prefixed
#ifndef PINWORTH_EXPLORER_BYTE_LIST_H
#define PINWORTH_EXPLORER_BYTE_LIST_H

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

// The bytes text lists, at most kMaxByteListLength of them; no value, with
// the reason in *error when error is not null, for anything else (an empty
// list, a value above 255, an odd run of digits, a stray character).
inline constexpr int kMaxByteListLength = 64;
std::optional<QByteArray> ParseByteList(QStringView text,
                                        QString *error = nullptr);

#endif
