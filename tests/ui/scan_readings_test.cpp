// What the window keeps of the readings: the last record of a row, its latest failure, and the
// values of the last hour with a bound on how many.
#include "ui/scan_readings.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

TEST(ScanReadingsTest, KeepsTheLastRecordAndAtMostAnHourOfValues) {
  ScanReadings readings;
  const QDateTime start = QDateTime::fromSecsSinceEpoch(1'700'000'000);
  const auto read = [&](qint64 ms, const QString& value) {
    readings.Add({1, "160012", true, {{"t", value}, {"name", "hall"}}, {}, start.addMSecs(ms)});
  };
  const auto x = [&](qint64 ms) {
    return static_cast<double>(start.addMSecs(ms).toMSecsSinceEpoch());
  };
  // Four reads a second for 40 minutes: more than are kept.
  constexpr qint64 kLast = 40 * 60 * 1000;
  for (qint64 ms = 0; ms <= kLast; ms += 250) read(ms, QString::number(ms / 250));
  QList<QPointF> points = readings.Points(1, "t");
  ASSERT_EQ(points.size(), ScanReadings::kMaxPoints);
  EXPECT_EQ(points.last(), QPointF(x(kLast), kLast / 250));
  EXPECT_EQ(points.first().x(), x(kLast - (ScanReadings::kMaxPoints - 1) * 250));
  EXPECT_TRUE(readings.Points(1, "name").isEmpty()) << "a text is no value";

  // An hour later only the values of that hour are left.
  read(kLast + ScanReadings::kSpanMs, "1.677722E+07");
  EXPECT_EQ(
      readings.Points(1, "t"),
      QList<QPointF>({{x(kLast), kLast / 250}, {x(kLast + ScanReadings::kSpanMs), 16777220}}));

  // A failed read keeps the last record beside its error; a new scan starts the values again.
  readings.Add({1, "160012", true, {}, "Module not found (Err255)", start});
  EXPECT_EQ(readings.LastError(1), "Module not found (Err255)");
  ASSERT_NE(readings.LastRecord(1), nullptr);
  EXPECT_EQ(readings.LastRecord(1)->fields.constFirst().value, "1.677722E+07");
  readings.ClearHistory();
  EXPECT_TRUE(readings.Points(1, "t").isEmpty());
  EXPECT_NE(readings.LastRecord(1), nullptr);
  EXPECT_EQ(readings.LastRecord(2), nullptr);
}

}  // namespace
}  // namespace orva
