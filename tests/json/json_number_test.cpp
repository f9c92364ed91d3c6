// The number rule: the leading numeric part of a run, written back with a point whatever the
// locale.
#include "json/json_number.h"
#include "json/leading_number.h"

#include "decimal_comma_locale.h"
#include "json_test_util.h"

#include <gtest/gtest.h>
#include <QLocale>

#include <limits>

namespace orva {
namespace {

constexpr double kMax = std::numeric_limits<double>::max();

TEST(JsonNumberFromRunTest, LeadingNumericPart) {
  const struct {
    const char* run;
    double value;
  } cases[] = {
      {"1.5", 1.5},  {"-2", -2},      {"+5", 5},
      {".5", 0.5},   {"-.5", -0.5},   {"5.", 5},
      {"00012", 12}, {"1e3", 1000},   {"1E-2", 0.01},
      {"1e+2", 100}, {"1-2", 1},      {"1e", 1},
      {"1e+", 1},    {"1.2.3", 1.2},  {"1..2", 1},
      {"", 0},       {"-", 0},        {"+", 0},
      {".", 0},      {"e5", 0},       {"+-1", 0},
      {"--1", 0},    {"1e400", kMax}, {"-1e400", -kMax},
      {"1e-400", 0}, {"-1e-400", 0},  {"9e99999999999999999999", kMax},
      {"12,5", 12},  {"7}", 7},  // the run ends at the first character outside it
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.run);
    EXPECT_EQ(JsonNumberFromRun(QString::fromLatin1(c.run)), c.value);
  }
}

TEST(JsonNumberFromRunTest, OutOfRangeDependsOnTheFirstSignificantDigit) {
  const QString many_zeros(400, u'0');
  EXPECT_EQ(JsonNumberFromRun(QStringLiteral("1") + many_zeros), kMax);
  EXPECT_EQ(JsonNumberFromRun(QStringLiteral("-1") + many_zeros + QStringLiteral(".5")), -kMax);
  // A positive exponent does not make a tiny mantissa overflow.
  EXPECT_EQ(JsonNumberFromRun(QStringLiteral("0.") + many_zeros + QStringLiteral("1e+50")), 0);
  EXPECT_EQ(JsonNumberFromRun(QStringLiteral("0.") + many_zeros + QStringLiteral("1e+500")), 1e99);
}

TEST(JsonNumberTextTest, ShortestTextThatReadsBack) {
  const struct {
    double value;
    const char* text;
  } cases[] = {{1.5, "1.5"},
               {-0.0, "0"},
               {8086, "8086"},
               {1e20, "100000000000000000000"},
               {1e21, "1e+21"},
               {1e-6, "0.000001"},
               {1e-7, "1e-7"},
               {-2.5e-10, "-2.5e-10"},
               {0.1 + 0.2, "0.30000000000000004"},
               {kMax, "1.7976931348623157e+308"},
               {std::numeric_limits<double>::infinity(), "1.7976931348623157e+308"},
               {std::numeric_limits<double>::denorm_min(), "5e-324"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const QString text = JsonNumberText(c.value);
    EXPECT_EQ(text, QString::fromLatin1(c.text));
    EXPECT_EQ(JsonNumberFromRun(text), std::isinf(c.value) ? kMax : c.value);
  }
}

// Qt's and the C library's numbers with a decimal comma: texts still carry a point.
TEST(JsonNumberLocaleTest, PointWhateverTheLocale) {
  const test::DecimalCommaLocale locale;
  ASSERT_EQ(QLocale().decimalPoint(), QStringLiteral(","));
  ASSERT_TRUE(locale.active());
  const JsonValue value = JsonParse(uR"({"k":"v","n":1.5,"big":1234567.25,"tiny":2.5e-10})");
  EXPECT_EQ(JsonErrors(), QString());
  EXPECT_EQ(value[QStringLiteral("n")].ToNumber(), 1.5);
  EXPECT_EQ(value[QStringLiteral("big")].ToNumber(), 1234567.25);
  EXPECT_EQ(JsonToText(value, true),
            QStringLiteral(R"({"k":"v","n":1.5,"big":1234567.25,"tiny":2.5e-10})"));
  EXPECT_EQ(JsonNumberFromRun(u"0,5"), 0);
}

// A number typed by a user: blanks anywhere, one sign in front, one point, no exponent.
TEST(LeadingNumberTest, TheNumberATextStartsWith) {
  const struct {
    std::string text;
    double value;
  } cases[] = {
      {"100", 100},  {" 47 ", 47},
      {"1 00", 100}, {"12abc", 12},
      {"abc", 0},    {"", 0},
      {"-5", -5},    {"+7", 7},
      {"2.5", 2.5},  {"2.5.1", 2.5},
      {".5", 0.5},   {"0,5", 0},
      {"3e2", 3},    {"1-2", 1},
      {"-", 0},      {"1" + std::string(400, '0'), 0},  // beyond a double
  };
  for (const auto& c : cases)
    EXPECT_DOUBLE_EQ(LeadingNumber(QString::fromStdString(c.text)), c.value) << c.text;
}

}  // namespace
}  // namespace orva
