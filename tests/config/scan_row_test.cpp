#include "config/scan_row.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

// Scan and value types are known by their exact text only.
TEST(ScanRowTest, KindsComeFromTheExactText) {
  const std::pair<const char*, ScanKind> kinds[] = {{"Module", ScanKind::kModule},
                                                    {"Module_memory", ScanKind::kModuleMemory},
                                                    {"Output_status", ScanKind::kOutputStatus},
                                                    {"KTX_memory", ScanKind::kSkipped},
                                                    {"", ScanKind::kSkipped},
                                                    {"module", ScanKind::kSkipped},
                                                    {"Module ", ScanKind::kSkipped}};
  for (const auto& [text, kind] : kinds) EXPECT_EQ(ScanRow(text, {}).Kind(), kind) << text;
  const std::pair<const char*, ValueType> types[] = {
      {"Byte", ValueType::kByte},      {"Integer", ValueType::kInteger},
      {"24-bit", ValueType::k24Bit},   {"byte", ValueType::kUnknown},
      {"24 bit", ValueType::kUnknown}, {"", ValueType::kUnknown}};
  for (const auto& [text, type] : types) EXPECT_EQ(ValueTypeOf(text), type) << text;
}

TEST(ScanRowTest, RoundHalfEven) {
  const std::pair<double, qint64> cases[] = {{0.5, 0},  {1.5, 2},    {2.5, 2},
                                             {3.5, 4},  {2.4999, 2}, {2.51, 3},
                                             {-0.5, 0}, {-1.5, -2},  {255, 255}};
  for (const auto& [value, rounded] : cases) EXPECT_EQ(RoundHalfEven(value), rounded) << value;
}

}  // namespace
}  // namespace orva
