// A CSV record's wall-clock time reads as QDateTime writes it in UTC, to the
// microsecond, across the years it is made for (leap days, centuries, the
// last microsecond of a day) and beyond them.
#include "core/reports/LogRowText.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QTest>

namespace {

QByteArray ByQDateTime(int64_t unixUS) {
  const int64_t micro = ((unixUS % 1000) + 1000) % 1000;
  return QDateTime::fromMSecsSinceEpoch((unixUS - micro) / 1000, Qt::UTC)
             .toString("yyyy-MM-ddTHH:mm:ss.zzz")
             .toLatin1() +
         QByteArray::number(micro).rightJustified(3, '0') + 'Z';
}

int64_t US(const char *iso) {
  return QDateTime::fromString(iso, Qt::ISODateWithMs).toMSecsSinceEpoch() *
         1000;
}

} // namespace

class LogRowTextTest : public QObject {
  Q_OBJECT

private slots:
  void wallTimeIsUtcToTheMicrosecond() {
    for (const char *at :
         {"1970-01-01T00:00:00Z", "1972-02-29T12:00:00Z",
          "2000-02-29T00:00:00Z", "2000-03-01T00:00:00Z",
          "2100-02-28T23:59:59Z", "2100-03-01T00:00:00Z",
          "2026-12-31T23:59:59.999Z", "9999-12-31T23:59:59.999Z"})
      for (const int64_t micro : {0, 1, 999}) {
        const int64_t unixUS = US(at) + micro;
        QCOMPARE(core::IsoWallTime(unixUS), ByQDateTime(unixUS));
      }
    QRandomGenerator random(7);
    for (int n = 0; n < 20'000; ++n) {
      const auto unixUS =
          int64_t(random.bounded(quint64(US("9999-12-31T23:59:59Z"))));
      QCOMPARE(core::IsoWallTime(unixUS), ByQDateTime(unixUS));
    }
    for (const int64_t unixUS : {int64_t(-1), US("1969-12-31T23:59:59Z") + 5,
                                 US("9999-12-31T23:59:59.999Z") + 1000})
      QCOMPARE(core::IsoWallTime(unixUS), ByQDateTime(unixUS));
  }
};

QTEST_GUILESS_MAIN(LogRowTextTest)
#include "tst_log_row_text.moc"
