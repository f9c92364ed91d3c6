#include "scan/number_format.h"

#include <gtest/gtest.h>

#include <optional>

#include "decimal_comma_locale.h"

namespace orva {
namespace {

// Whole values carry no point, a value below 1 a 0 before it; from ten million on the exponent
// form, rounded to seven significant digits. The division is done in single precision: double
// precision would give 10000.02, 100000.9 and 100000.4 for the last three. A decimal-comma
// locale changes none of it.
TEST(NumberFormatTest, WritesTheThreeFormatsWithAPointInAnyLocale) {
  const struct {
    quint32 raw, divisor;
    const char* text;
  } singles[] = {{2200, 100, "22"},
                 {215, 10, "21.5"},
                 {2319, 10, "231.9"},
                 {500, 1000, "0.5"},
                 {1, 1000, "0.001"},
                 {1, 100, "0.01"},
                 {65535, 100, "655.35"},
                 {1234567, 1000, "1234.567"},
                 {0, 1, "0"},
                 {9999999, 1, "9999999"},
                 {10000000, 1, "1E+07"},
                 {16777215, 1, "1.677722E+07"},
                 {12345678, 1, "1.234568E+07"},
                 {16777215, 1000, "16777.21"},
                 {1000, 1000, "1"},
                 {10000025, 1000, "10000.03"},
                 {10000095, 100, "100001"},
                 {10000045, 100, "100000.5"}};
  const std::pair<quint8, const char*> halves[] = {{0, "0"},     {1, "0.5"}, {3, "1.5"},
                                                   {41, "20.5"}, {42, "21"}, {255, "127.5"}};
  std::optional<test::DecimalCommaLocale> comma;
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass == 0 ? "C locale" : "decimal-comma locale");
    for (const auto& c : singles) {
      EXPECT_EQ(FormatSingle(ScaledSingle(c.raw, c.divisor)), c.text)
          << c.raw << " / " << c.divisor;
    }
    for (const auto& [byte, text] : halves) EXPECT_EQ(FormatHalf(byte), text) << +byte;
    EXPECT_EQ(FormatWhole(0) + ' ' + FormatWhole(37) + ' ' + FormatWhole(16777215),
              "0 37 16777215");
    comma.emplace();
    ASSERT_TRUE(comma->active()) << "could not switch the C library to a decimal-comma locale";
  }
}

}  // namespace
}  // namespace orva
