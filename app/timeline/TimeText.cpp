#include "app/timeline/TimeText.h"

#include <cstdlib>

namespace explorer {

QString SecondsText(int64_t us) {
  return SecondsText(us, 1);
}

QString SecondsText(int64_t us, int64_t step) {
  int decimals = 6;
  for (int64_t unit = 10; decimals > 0 && step % unit == 0; unit *= 10)
    --decimals;
  const QString sign = us < 0 ? QStringLiteral("-") : QString();
  const int64_t magnitude = std::llabs(us);
  QString text = sign + QString::number(magnitude / 1'000'000);
  if (decimals > 0)
    text += QLatin1Char('.') +
            QStringLiteral("%1")
                .arg(magnitude % 1'000'000, 6, 10, QLatin1Char('0'))
                .left(decimals);
  return text + QStringLiteral(" s");
}

QString DurationText(int64_t us) {
  const int64_t magnitude = std::llabs(us);
  if (magnitude < 1000)
    return QStringLiteral("%1 µs").arg(us);
  if (magnitude < 1'000'000)
    return QStringLiteral("%1 ms").arg(double(us) / 1000, 0, 'f', 3);
  return SecondsText(us);
}

} // namespace explorer
