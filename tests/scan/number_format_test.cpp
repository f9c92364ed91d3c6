#include "scan/number_format.h"

#include <gtest/gtest.h>

#include "decimal_comma_locale.h"

namespace orva {
namespace {

struct SingleCase {
  quint32 raw;
  quint32 divisor;
  const char* text;
};

constexpr SingleCase kSingleCases[] = {
    {2200, 100, "22"},  // whole values carry no point
    {215, 10, "21.5"},
    {2319, 10, "231.9"},  // 231.9 is not exact in single precision
    {500, 1000, "0.5"},   // a 0 before the point
    {1, 1000, "0.001"},
    {1, 100, "0.01"},
    {65535, 100, "655.35"},
    {1234567, 1000, "1234.567"},
    {0, 1, "0"},
    {9999999, 1, "9999999"},        // the largest value in plain form
    {10000000, 1, "1E+07"},         // exponent form from ten million on
    {16777215, 1, "1.677722E+07"},  // rounded to seven significant digits
    {12345678, 1, "1.234568E+07"},
    {16777215, 1000, "16777.21"},
    {1000, 1000, "1"},
};

void ExpectFormats() {
  for (const SingleCase& c : kSingleCases) {
    EXPECT_EQ(FormatSingle(ScaledSingle(c.raw, c.divisor)), QString::fromLatin1(c.text))
        << c.raw << " / " << c.divisor;
  }
  const struct {
    quint8 byte;
    const char* text;
  } halves[] = {{0, "0"}, {1, "0.5"}, {3, "1.5"}, {41, "20.5"}, {42, "21"}, {255, "127.5"}};
  for (const auto& c : halves)
    EXPECT_EQ(FormatHalf(c.byte), QString::fromLatin1(c.text)) << +c.byte;
  EXPECT_EQ(FormatWhole(0), "0");
  EXPECT_EQ(FormatWhole(37), "37");
  EXPECT_EQ(FormatWhole(16777215), "16777215");
}

TEST(NumberFormatTest, WritesTheThreeFormats) { ExpectFormats(); }

TEST(NumberFormatTest, DecimalCommaLocaleStillWritesAPoint) {
  test::DecimalCommaLocale locale;
  ASSERT_TRUE(locale.active()) << "could not switch the C library to a decimal-comma locale";
  ExpectFormats();
}

TEST(NumberFormatTest, SingleDivisionIsDoneInSinglePrecision) {
  // Values whose seventh digit comes out differently in double precision.
  EXPECT_EQ(FormatSingle(ScaledSingle(10000025, 1000)), "10000.03");  // double: 10000.02
  EXPECT_EQ(FormatSingle(ScaledSingle(10000095, 100)), "100001");     // double: 100000.9
  EXPECT_EQ(FormatSingle(ScaledSingle(10000045, 100)), "100000.5");   // double: 100000.4
}

}  // namespace
}  // namespace orva
