#include "config/port_field.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

TEST(PortFieldTest, CorrectsOutOfRangeTextsAndTakesOnlyDigitsBackspaceAndEnter) {
  const std::pair<const char*, const char*> cases[] = {
      {"8086", "8086"},     {"1", "1"},         {"65535", "65535"},
      {"65536", "65535"},   {"70000", "65535"}, {"99999999999", "65535"},
      {"65535.5", "65535"}, {"0", "8086"},      {"", "8086"},
      {"-1", "8086"},       {"abc", "8086"},    {"\"9000\"", "8086"},
      {" 9000", " 9000"},   {"80a", "80a"},     {"0.5", "0.5"}};
  for (const auto& [text, expected] : cases) {
    const QString corrected = CorrectedPort(text);
    EXPECT_EQ(corrected, expected) << text;
    EXPECT_EQ(CorrectedPort(corrected), corrected) << "a corrected text is left alone: " << text;
  }
  for (const int key : {int('0'), int('5'), int('9'), 8, 13}) EXPECT_TRUE(IsPortKeyAccepted(key));
  for (const int key : {int('/'), int(':'), int('a'), int('-'), 0, 9, 10, 127, 0xB2}) {
    EXPECT_FALSE(IsPortKeyAccepted(key)) << key;
  }
  EXPECT_TRUE(IsPortKeyAccepted(QChar(u'7')));
  EXPECT_FALSE(IsPortKeyAccepted(QChar(u'\u0663')));  // an Arabic-Indic three is no ASCII digit
}

}  // namespace
}  // namespace orva
