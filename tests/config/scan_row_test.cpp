#include "config/scan_row.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

TEST(ScanRowTest, ScanKindComesFromTheExactScanTypeText) {
  const struct {
    const char* text;
    ScanKind kind;
  } cases[] = {
      {"Module", ScanKind::kModule},
      {"Module_memory", ScanKind::kModuleMemory},
      {"Output_status", ScanKind::kOutputStatus},
      {"KTX_memory", ScanKind::kSkipped},
      {"", ScanKind::kSkipped},
      {"module", ScanKind::kSkipped},
      {"Module ", ScanKind::kSkipped},
  };
  for (const auto& c : cases) {
    ScanRow row;
    row.scan_type = QString::fromLatin1(c.text);
    EXPECT_EQ(row.Kind(), c.kind) << c.text;
  }
}

TEST(ScanRowTest, ValueTypeComesFromTheExactText) {
  const struct {
    const char* text;
    ValueType type;
  } cases[] = {
      {"Byte", ValueType::kByte},      {"Integer", ValueType::kInteger},
      {"24-bit", ValueType::k24Bit},   {"byte", ValueType::kUnknown},
      {"24 bit", ValueType::kUnknown}, {"", ValueType::kUnknown},
  };
  for (const auto& c : cases) EXPECT_EQ(ValueTypeOf(QString::fromLatin1(c.text)), c.type) << c.text;
}

TEST(ScanRowTest, ModuleSerialIsTheFirstSixCharactersOfTheItemText) {
  const struct {
    const char* item;
    const char* serial;
  } cases[] = {
      {"123456 Kitchen", "123456"},
      {"B1C2D3 Garden shed", "B1C2D3"},
      {"123456 ???", "123456"},
      {"???", "???"},
      {"", ""},
      {"12 456 Hall", "12 456"},
  };
  for (const auto& c : cases) {
    ScanRow row;
    row.item_text = QString::fromUtf8(c.item);
    EXPECT_EQ(row.ModuleSerial(), QString::fromUtf8(c.serial)) << c.item;
  }
}

TEST(ScanRowTest, RoundHalfEven) {
  const struct {
    double value;
    qint64 rounded;
  } cases[] = {{0.5, 0},  {1.5, 2},  {2.5, 2},   {3.5, 4},  {2.4999, 2},
               {2.51, 3}, {-0.5, 0}, {-1.5, -2}, {255, 255}};
  for (const auto& c : cases) EXPECT_EQ(RoundHalfEven(c.value), c.rounded) << c.value;
}

}  // namespace
}  // namespace orva
