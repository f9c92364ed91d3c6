#include "config/module_kinds.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

// Rows of any motion designation show the third; other types show as they are, and a text
// without a designation of its own comes back unchanged.
TEST(ModuleKindsTest, MotionDesignations) {
  const QStringList& motion = MotionDesignations();
  ASSERT_EQ(motion.size(), 3);
  for (const QString& designation : motion) {
    EXPECT_EQ(DesignationFor(designation), designation) << "a designation is not a code";
    EXPECT_EQ(ItemTypeFor(designation), motion[2]);
  }
  EXPECT_EQ(ItemTypeFor("0016"), "0016");
  EXPECT_EQ(DesignationFor("000B"), "TH-1 room thermostat");
  for (const char* text : {"000b", " 000B", ""}) EXPECT_EQ(DesignationFor(text), text);
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

}  // namespace
}  // namespace orva
