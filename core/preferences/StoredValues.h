// Values as the preferences file stores them, for the macro and sequence
// lists.
#ifndef PINWORTH_EXPLORER_STORED_VALUES_H
#define PINWORTH_EXPLORER_STORED_VALUES_H

#include "core/text/JsonText.h"

#include <QByteArray>
#include <QLatin1String>
#include <QString>

#include <cstdint>
#include <optional>

namespace core {

// Pairs of hex digits, blanks allowed between pairs only.
std::optional<QByteArray> BytesFromHexPairs(const QString &text);

// An integer as written, or with a fraction of zeros ("2.0"); never rounded.
std::optional<int32_t> Int32FromNumber(const QByteArray &number);

// The member of object named key when there is exactly one and it is of kind.
const json::Value *UniqueMember(const json::Value &object, QLatin1String key,
                                json::Value::Kind kind);

} // namespace core

#endif
