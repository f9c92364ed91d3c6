#include <gtest/gtest.h>

#include "decimal_comma_locale.h"
#include "scan/scan_interval.h"

namespace orva {
namespace {

// Seconds with a point, in any locale, become whole milliseconds; a time that reads as nothing
// is refused with a reason naming it.
TEST(ScanIntervalTest, ReadsSecondsWithAPointIntoWholeMillisecondsOrRefuses) {
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"0.5", 500},     {"1", 1000},         {" 2.25", 2250},   {"0.5 s", 500},  {"0.0025", 2},
      {"0.0035", 4},    {"65.535", 65535},   {"65.536", 65536}, {"120", 120000}, {"0.001", 1},
      {"3.0004", 3000}, {"86400", 86400000}, {"0,5", {}},       {"", {}},        {"abc", {}},
      {"0", {}},        {"0.0004", {}},      {"0.0005", {}},    {"-1", {}},      {".", {}},
      {"86400.001", {}}};
  test::DecimalCommaLocale comma;
  for (const auto& [text, ms] : cases) {
    const ScanInterval interval = ReadScanInterval(QString::fromLatin1(text));
    EXPECT_EQ(interval.ms, ms) << text;
    EXPECT_EQ(ScanIntervalMs(QString::fromLatin1(text)), ms) << text;
    if (ms) {
      EXPECT_TRUE(interval.error.isEmpty()) << text;
    } else {
      EXPECT_TRUE(interval.error.contains(QStringLiteral("Scan time \"%1\"").arg(text)))
          << interval.error.toStdString();
    }
  }
}

}  // namespace
}  // namespace orva
