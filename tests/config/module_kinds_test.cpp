#include "config/module_kinds.h"

#include <gtest/gtest.h>

#include <QSet>

namespace orva {
namespace {

// Three distinct designations, none of them a type code; rows of any of them show the third,
// other types show as they are.
TEST(ModuleKindsTest, MotionDesignations) {
  const QStringList& motion = MotionDesignations();
  ASSERT_EQ(motion.size(), 3);
  EXPECT_EQ(QSet<QString>(motion.begin(), motion.end()).size(), 3);
  for (const QString& designation : motion) {
    EXPECT_FALSE(designation.isEmpty());
    EXPECT_EQ(DesignationFor(designation), designation) << "a designation is not a code";
    EXPECT_EQ(ItemTypeFor(designation), motion[2]);
  }
  EXPECT_EQ(ItemTypeFor("0016"), "0016");
  EXPECT_EQ(ItemTypeFor("000B"), "000B");
}

TEST(ModuleKindsTest, KindByExactTypeText) {
  const QStringList& motion = MotionDesignations();
  const struct {
    QString type;
    ModuleKind kind;
  } cases[] = {
      {"0016", ModuleKind::kMultiSensor},
      {"0001", ModuleKind::kWeatherStation},
      {"0017", ModuleKind::kEnergyMeter},
      {motion[0], ModuleKind::kMotion},
      {motion[1], ModuleKind::kMotion},
      {motion[2], ModuleKind::kMotion},
      {"16", ModuleKind::kNone},
      {"0016 ", ModuleKind::kNone},
      {motion[0].toLower(), ModuleKind::kNone},
      {"000B", ModuleKind::kNone},
      {"", ModuleKind::kNone},
  };
  for (const auto& c : cases) EXPECT_EQ(ModuleKindOf(c.type), c.kind) << c.type.toStdString();
}

TEST(ModuleKindsTest, WholeModuleTypesInPickerOrder) {
  const QStringList& motion = MotionDesignations();
  EXPECT_EQ(WholeModuleTypes(),
            QStringList({"0016", motion[0], motion[1], motion[2], "0001", "0017"}));
}

// Exactly the listed codes have a designation; lookup is exact and any other text comes back
// unchanged.
TEST(ModuleKindsTest, DesignationLookup) {
  QStringList with_entry;
  for (int code = 0; code <= 0x1F; ++code) {
    const QString text = QStringLiteral("%1").arg(code, 4, 16, QLatin1Char('0')).toUpper();
    const QString designation = DesignationFor(text);
    EXPECT_FALSE(designation.isEmpty());
    if (designation != text) with_entry << text;
  }
  QStringList expected;
  for (const int code :
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 19, 21, 22, 23, 24})
    expected << QStringLiteral("%1").arg(code, 4, 16, QLatin1Char('0')).toUpper();
  EXPECT_EQ(with_entry, expected);
  for (const char* text : {"000b", " 000B", "Some designation", ""})
    EXPECT_EQ(DesignationFor(text), text);
}

}  // namespace
}  // namespace orva
