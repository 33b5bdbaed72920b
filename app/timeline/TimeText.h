// Times of the pin timeline as text: a time as seconds since the log's
// first report, a span as the unit that suits it.
#ifndef PINWORTH_EXPLORER_TIME_TEXT_H
#define PINWORTH_EXPLORER_TIME_TEXT_H

#include <QString>

#include <cstdint>

namespace explorer {

// "1.234567 s" of us microseconds.
QString SecondsText(int64_t us);
// The same with only the decimals a ruler of ticks step microseconds apart
// needs: "1.2 s" for ticks 100 ms apart.
QString SecondsText(int64_t us, int64_t step);
// "250 µs", "12.345 ms" or "3.000001 s".
QString DurationText(int64_t us);

} // namespace explorer

#endif
