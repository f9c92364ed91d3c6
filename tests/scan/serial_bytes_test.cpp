#include "scan/serial_bytes.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

// Decimal pairs, hexadecimal throughout once the first character is B to F (upper case only),
// reading stopping at a non-digit; a first pair that reads as decimal 0 is hexadecimal, the others
// decimal; the third pair is always the last two characters. A pair that must be decimal and is not
// gives three zero bytes: none converted before it survives.
TEST(SerialBytesTest, ConvertsThePairs) {
  const struct {
    const char* serial;
    unsigned char bytes[3];
  } cases[] = {
      {"123456", {12, 34, 56}},   {"0A1234", {10, 12, 34}}, {"B1C2D3", {177, 194, 211}},
      {"A11234", {161, 12, 34}},  {"000000", {0, 0, 0}},    {"FFFFFF", {255, 255, 255}},
      {"Bxc2d3", {11, 194, 211}}, {"", {0, 0, 0}},          {"E", {14, 0, 14}},
      {"0G1234", {0, 12, 34}},    {"Z01234", {0, 12, 34}},  {"001255", {0, 12, 55}},
      {"300000", {30, 0, 0}},     {"1234", {12, 34, 34}},   {"1234567", {12, 34, 67}},
      {"12 456", {12, 4, 56}},    {"12AB56", {0, 0, 0}},    {"0AXY12", {0, 0, 0}},
      {"0A12XY", {0, 0, 0}},      {"1A2B3C", {0, 0, 0}},    {"b1c2d3", {0, 0, 0}},
      {"12-456", {0, 0, 0}},      {"12 .56", {0, 0, 0}},    {"F12345", {241, 35, 69}},
      {"G12345", {0, 23, 45}},
  };
  for (const auto& c : cases) {
    const QByteArray expected(reinterpret_cast<const char*>(c.bytes), 3);
    EXPECT_EQ(SerialBytes(QString::fromLatin1(c.serial)), expected) << c.serial;
  }
}

}  // namespace
}  // namespace orva
