#include "scan/serial_bytes.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

TEST(SerialBytesTest, HexPrefixIsBToFUpperCaseOrEmpty) {
  const struct {
    const char* serial;
    bool hex;
  } cases[] = {
      {"", true},        {"B1C2D3", true},  {"C00000", true},  {"F12345", true},
      {"E", true},       {"A11234", false}, {"123456", false}, {"b1c2d3", false},
      {"G12345", false}, {" B1C2D", false}, {"0A1234", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(HasHexPrefix(QString::fromLatin1(c.serial)), c.hex) << c.serial;
}

TEST(SerialBytesTest, ConvertsThePairs) {
  const struct {
    const char* serial;
    unsigned char bytes[3];
  } cases[] = {
      // Examples of the documented conversion.
      {"123456", {12, 34, 56}},
      {"0A1234", {10, 12, 34}},
      {"B1C2D3", {177, 194, 211}},
      {"A11234", {161, 12, 34}},
      {"000000", {0, 0, 0}},
      // Hexadecimal throughout once the first character is B to F; reading stops at a non-digit.
      {"FFFFFF", {255, 255, 255}},
      {"Bxc2d3", {11, 194, 211}},
      {"", {0, 0, 0}},
      {"E", {14, 0, 14}},
      // A first pair that reads as decimal 0 is hexadecimal, the others decimal.
      {"0G1234", {0, 12, 34}},
      {"Z01234", {0, 12, 34}},
      {"001255", {0, 12, 55}},
      // All decimal otherwise; the third pair is always the last two characters.
      {"300000", {30, 0, 0}},
      {"1234", {12, 34, 34}},
      {"1234567", {12, 34, 67}},
      {"12 456", {12, 4, 56}},
  };
  for (const auto& c : cases) {
    const QByteArray expected(reinterpret_cast<const char*>(c.bytes), 3);
    EXPECT_EQ(SerialBytes(QString::fromLatin1(c.serial)), expected) << c.serial;
  }
}

TEST(SerialBytesTest, ConversionErrorGivesThreeZeroBytes) {
  // Each of these has a pair that must be a decimal number and is not; bytes converted before
  // the failing pair must not survive.
  const char* cases[] = {"12AB56", "0AXY12", "0A12XY", "1A2B3C", "b1c2d3", "12-456", "12 .56"};
  for (const char* serial : cases) {
    EXPECT_EQ(SerialBytes(QString::fromLatin1(serial)), QByteArray(3, '\0')) << serial;
  }
}

}  // namespace
}  // namespace orva
