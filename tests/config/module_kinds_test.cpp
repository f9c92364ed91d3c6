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

// The kind that picks what a module row reads, and the kind's name a record's tag carries.
TEST(ModuleKindsTest, KindByExactTypeText) {
  const QStringList& motion = MotionDesignations();
  const struct {
    QString type;
    ModuleKind kind;
    const char* name;
  } cases[] = {
      {"0016", ModuleKind::kMultiSensor, "multi-sensor"},
      {"0001", ModuleKind::kWeatherStation, "weather station"},
      {"0017", ModuleKind::kEnergyMeter, "energy meter"},
      {motion[0], ModuleKind::kMotion, "motion sensor"},
      {motion[1], ModuleKind::kMotion, "motion sensor"},
      {motion[2], ModuleKind::kMotion, "motion sensor"},
      {"16", ModuleKind::kNone, ""},
      {"0016 ", ModuleKind::kNone, ""},
      {motion[0].toLower(), ModuleKind::kNone, ""},
      {"000B", ModuleKind::kNone, "thermostat"},
      {"TH-1 room thermostat", ModuleKind::kNone, "thermostat"},
      {"0012", ModuleKind::kNone, ""},
      {"", ModuleKind::kNone, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ModuleKindOf(c.type), c.kind) << c.type.toStdString();
    EXPECT_EQ(KindNameFor(c.type), c.name) << c.type.toStdString();
  }
}

}  // namespace
}  // namespace orva
