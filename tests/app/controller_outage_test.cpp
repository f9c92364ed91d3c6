#include "app/controller_outage.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

// Told at once, then a summary a minute, its end once; and a failure that a serial port
// mends within its own tick ends nothing.
TEST(ControllerOutage, ToldOnceSummedUpEachMinuteEndedOnce) {
  const QDateTime start(QDate(2026, 12, 7), QTime(16, 10, 0));
  ControllerOutage outage;
  EXPECT_EQ(outage.Lost("refused", start), "refused");
  EXPECT_EQ(outage.Lost("Port not open (Err55)", start.addSecs(10)), "");
  EXPECT_TRUE(outage.Told("refused") && outage.Told("Port not open (Err55)"));
  for (int tick = 0; tick < 3; ++tick) outage.TickEnded();
  EXPECT_EQ(outage.Lost("refused", start.addSecs(60)),
            "KTX not reached since 16:10:00 (3 ticks): refused");
  EXPECT_EQ(outage.Lost("refused", start.addSecs(119)), "");
  EXPECT_EQ(outage.Found(start.addSecs(125)), "KTX found again after 125 s without it");
  EXPECT_FALSE(outage.Told("refused"));
  EXPECT_EQ(outage.Found(start.addSecs(126)), "");

  EXPECT_EQ(outage.Lost("refused", start.addSecs(200)), "refused");
  EXPECT_EQ(outage.Found(start.addSecs(200)), "");
  EXPECT_EQ(outage.Lost("refused", start.addSecs(201)), "refused");
}

}  // namespace
}  // namespace orva
