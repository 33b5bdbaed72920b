// The bytes of a report as users type and paste them, from logs, terminals
// and code:
//   "05 01 80 00"      hexadecimal pairs, separated by blanks, commas, colons
//   "0x05,0x01,0x80"   the same with 0x prefixes
//   "050180"           a run of pairs without separators
//   "[5, 1, 128]"      a bracketed list, decimal unless 0x-prefixed
//   "Hello" or 'Hello' a text, its characters as ASCII bytes, with the
//                      escapes \\ \" \' \n \r \t and \xHH (any byte)
// Texts and bytes mix in one list: "05 85 'Hello'" is 05 85 48 65 6c 6c 6f.
// A text ends at its closing quote, so "05'Hi'" needs no separator.
#ifndef PINWORTH_EXPLORER_BYTE_LIST_H
#define PINWORTH_EXPLORER_BYTE_LIST_H

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

namespace core {

// The bytes text lists, at most maxBytes of them (what the caller has room
// for); no value, with the reason in *error when error is not null, for
// anything else: an empty list, more bytes than fit (never cut to fit), a
// value above 255, an odd run of digits, a stray character, a character of
// a text that is not ASCII, an unknown escape, a text without its closing
// quote.
inline constexpr int kMaxByteListLength = 64;
std::optional<QByteArray> ParseByteList(QStringView text,
                                        QString *error = nullptr,
                                        int maxBytes = kMaxByteListLength);

} // namespace core

#endif
